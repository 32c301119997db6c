#pragma once
// A launch trigger (what the phone platform calls a state notification): when the watched DWORD
// starts to meet the condition, the runner starts the command line (a quoted program path followed
// by its arguments).
#include <cstdint>
#include <string>

// Comparison types of the condition, applied to (value & mask) against target.
enum class LaunchTriggerComparison : uint32_t {
    any_change = 0,
    equal = 1,
    not_equal = 2,
    greater = 3,
    greater_or_equal = 4,
    less = 5,
    less_or_equal = 6,
};

struct LaunchTrigger {
    std::u16string name;          // "Quillon Touch.Call"
    std::u16string key;           // full key path with its root
    std::u16string value_name;    // "Status"
    std::u16string command_line;  // "\"/path/quillon-touch\" call"
    uint32_t flags = 0;           // 1: the entry's name is not added to the command line
    LaunchTriggerComparison comparison = LaunchTriggerComparison::equal;
    uint32_t mask = 0;
    uint32_t target = 0;

    bool meets(uint32_t value) const;
    // Whether a change of the watched value from old_value to new_value fires the entry: the value
    // starts to meet the condition (any change, for any_change).
    bool fires(uint32_t old_value, uint32_t new_value) const;
};
