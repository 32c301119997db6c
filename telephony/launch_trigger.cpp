#include "telephony/launch_trigger.h"

bool LaunchTrigger::meets(uint32_t value) const {
    const uint32_t masked = value & mask;
    switch (comparison) {
        case LaunchTriggerComparison::any_change:
            return true;
        case LaunchTriggerComparison::equal:
            return masked == target;
        case LaunchTriggerComparison::not_equal:
            return masked != target;
        case LaunchTriggerComparison::greater:
            return masked > target;
        case LaunchTriggerComparison::greater_or_equal:
            return masked >= target;
        case LaunchTriggerComparison::less:
            return masked < target;
        case LaunchTriggerComparison::less_or_equal:
            return masked <= target;
    }
    return false;
}

bool LaunchTrigger::fires(uint32_t old_value, uint32_t new_value) const {
    if (old_value == new_value) return false;
    if (comparison == LaunchTriggerComparison::any_change) return true;
    return meets(new_value) && !meets(old_value);
}
