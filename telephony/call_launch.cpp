#include "telephony/call_launch.h"

#include <cstdlib>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"
#include "telephony/phone_state.h"
#include "telephony/telephony_platform.h"

std::u16string call_launch_command_line() {
    const char* override_program = std::getenv("QUILLON_TOUCH_PROGRAM");
    const std::u16string program =
        override_program && *override_program ? os::from_utf8(override_program) : os::expand_path(u"%app_full_name%");
    return u"\"" + program + u"\" call";
}

bool set_call_launch(bool enabled) {
    TelephonyPlatform& platform = telephony_platform();
    if (enabled) {
        LaunchTrigger entry;
        entry.name = std::u16string(call_launch_name);
        entry.key = std::u16string(phone_state::phone_key);
        entry.value_name = std::u16string(phone_state::status);
        entry.command_line = call_launch_command_line();
        entry.flags = 1;
        entry.comparison = LaunchTriggerComparison::equal;
        entry.mask = phone_state::status_connected;
        entry.target = phone_state::status_connected;
        os::log() << u"set_app_notification " << entry.name << u" " << entry.command_line << u"\n";
        os::log() << u"set_app_notification fun good\n";
        const uint32_t result = platform.register_notification(entry);
        os::log() << u"set_app_notification result=" << result << u"\n";
        return result == notification_ok || result == notification_already_exists;
    }
    os::log() << u"stop_app_notification " << call_launch_name << u"\n";
    os::log() << u"stop_app_notification fun good\n";
    const uint32_t result = platform.stop_notification(call_launch_name);
    os::log() << u"stop_app_notification result=" << result << u"\n";
    return true;
}
