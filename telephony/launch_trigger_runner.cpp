#include "telephony/launch_trigger_runner.h"

#include "os/log.h"
#include "telephony/launch_trigger_store.h"
#include "telephony/process_launch.h"

std::vector<TriggeredLaunch> honour_launch_triggers(std::u16string_view key, std::u16string_view value_name,
                                                    uint32_t old_value, uint32_t new_value) {
    std::vector<TriggeredLaunch> launches;
    for (const auto& entry : launch_trigger_store::all()) {
        if (entry.key != key || entry.value_name != value_name || !entry.fires(old_value, new_value)) continue;
        TriggeredLaunch launch;
        launch.name = entry.name;
        launch.command_line = entry.command_line;
        if (quillon_touch_running()) {
            launch.instance_running = true;
            os::log() << u"notification " << entry.name << u": instance running\n";
        } else {
            launch.pid = spawn_command_line(entry.command_line);
            os::log() << u"notification " << entry.name << u": started " << entry.command_line << u" pid="
                      << static_cast<long long>(launch.pid) << u"\n";
        }
        launches.push_back(std::move(launch));
    }
    return launches;
}
