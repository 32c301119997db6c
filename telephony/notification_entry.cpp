#include "telephony/notification_entry.h"

bool NotificationEntry::meets(uint32_t value) const {
    const uint32_t masked = value & mask;
    switch (comparison) {
        case NotificationComparison::any_change:
            return true;
        case NotificationComparison::equal:
            return masked == target;
        case NotificationComparison::not_equal:
            return masked != target;
        case NotificationComparison::greater:
            return masked > target;
        case NotificationComparison::greater_or_equal:
            return masked >= target;
        case NotificationComparison::less:
            return masked < target;
        case NotificationComparison::less_or_equal:
            return masked <= target;
    }
    return false;
}

bool NotificationEntry::fires(uint32_t old_value, uint32_t new_value) const {
    if (old_value == new_value) return false;
    if (comparison == NotificationComparison::any_change) return true;
    return meets(new_value) && !meets(old_value);
}
