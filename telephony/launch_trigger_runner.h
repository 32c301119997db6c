#pragma once
// The publisher's half of the launch triggers: after it changed a watched DWORD, every
// stored entry that the change fires has its command line started.
//
// Entries are skipped while quillon-touch runs (it is the only program that registers one): the
// running instance sees the call through its own monitor, and handing it "call" as well would start
// the call recording a second time, splitting it into two files.
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

struct TriggeredLaunch {
    std::u16string name;
    std::u16string command_line;
    pid_t pid = -1;                 // -1 when not started
    bool instance_running = false;  // skipped because quillon-touch runs
};

std::vector<TriggeredLaunch> honour_launch_triggers(std::u16string_view key, std::u16string_view value_name,
                                                    uint32_t old_value, uint32_t new_value);
