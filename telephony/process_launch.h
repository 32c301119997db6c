#pragma once
// Starting a program from a stored command line, without a shell, and asking whether quillon-touch
// runs already.
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

// Splits a command line at spaces; double quotes group words with spaces and are removed. Empty
// when the text holds no word.
std::vector<std::string> split_command_line(std::u16string_view command_line);

// Starts the command line's program with the rest as its arguments (posix_spawn, no shell) and does
// not wait for it, with its standard input and output on /dev/null. The pid, or -1 when nothing was started.
pid_t spawn_command_line(std::u16string_view command_line);
// The same with the program and its arguments given one by one (a path with spaces or quotes stays
// one argument).
pid_t spawn_program(std::vector<std::string> words);

// True while a quillon-touch instance runs for this user (or this QUILLON_ROOT): its command socket
// accepts a connection, or its start-up lock is held (an instance still starting).
bool quillon_touch_running();

// Where a running instance keeps its start-up lock and its command socket.
std::u16string instance_lock_path();
std::u16string instance_socket_path();
