#pragma once
// The storage under the registry operations: one SQLite database holding keys and typed values.
// Private to os/; callers use os/registry.h.
//
// One connection per process, shared by every thread under a mutex, with its statements prepared
// once: the log reads a value on every line, so a read must cost a few microseconds, not an open.
// The connection follows the database path, which is read from the environment on each call, so a
// test that points QUILLON_ROOT elsewhere gets a fresh database.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace os::registry_database {

enum class Hive : int { ClassesRoot = 0, LocalMachine = 1, Users = 2, CurrentUser = 3 };

struct Value {
    uint32_t type = 0;
    std::string data;  // the raw bytes, as the platform stores them
};

// Reads one value. When the value is absent, its key is created if missing, as an open with
// create rights would do (unless another program holds the write lock: the key is then left for
// later rather than waited for). False when the value does not exist or the database cannot be
// used; last_error() tells the two apart.
bool read(Hive hive, std::u16string_view key, std::u16string_view name, Value& out);
// Stores one value, creating its key and the keys above it.
bool write(Hive hive, std::u16string_view key, std::u16string_view name, const Value& value);
bool remove(Hive hive, std::u16string_view key, std::u16string_view name);
// The names of the keys directly below `key`, in the database's order of names. False when the
// database cannot be used.
bool subkeys(Hive hive, std::u16string_view key, std::vector<std::u16string>& out);
// Makes every committed write durable on the storage medium.
bool flush();

// Full path of the database file in use now.
std::u16string path();
// True once after a damaged database was replaced this run (what could be read saved into the new
// one): the user is to be told.
bool take_damage_notice();

// Counts the writes and removals this process made, and changes of the database in use, so a
// cache of a value (the log switch) knows when to read it again.
uint64_t write_generation();

// Why the calling thread's last operation failed, when it was not an absent value: the database
// is busy (another program holds its lock past the bounded wait), cannot be opened for the lack of
// permissions, and the like. Empty after a success or a plain absence.
const std::u16string& last_error();
void set_last_error(std::u16string text);

}  // namespace os::registry_database
