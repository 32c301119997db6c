#include "telephony/bridge/phone_bridge.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <vector>

#include "os/dbus/bus.h"
#include "os/log.h"
#include "os/text.h"
#include "os/tick.h"
#include "telephony/bridge/line_publisher.h"
#include "telephony/bridge/speaker_mirror.h"
#include "telephony/bridge/stack_source.h"
#include "telephony/phone_state.h"

namespace {

class PhoneBridgeImpl;

// What a name watch or a timer needs to find its stack again.
struct StackSlot {
    PhoneBridgeImpl* bridge = nullptr;
    std::unique_ptr<StackSource> source;
    os::dbus::NameWatch watch;
    guint patience = 0;
    bool heard = false;  // the watch has told once whether the name has an owner
    bool present = false;
};

class PhoneBridgeImpl final : public PhoneBridge, private StackSink {
public:
    explicit PhoneBridgeImpl(const PhoneBridgeOptions& options) : m_options(options) {
        m_loop = g_main_loop_new(nullptr, FALSE);
        for (auto make : {&make_modem_manager_source, &make_ofono_source}) {
            auto slot = std::make_unique<StackSlot>();
            slot->bridge = this;
            slot->source = make(*this);
            m_stacks.push_back(std::move(slot));
        }
        LinePublisher::set_bridge_running(true);
        // The recorder ends the calls of a bridge that stops beating (killed, hung).
        m_beat = g_timeout_add(
            static_cast<guint>(phone_state::heartbeat_seconds * 1000),
            [](gpointer user) -> gboolean {
                auto* self = static_cast<PhoneBridgeImpl*>(user);
                if (!LinePublisher::beat() && !self->m_said_no_beat) {
                    self->m_said_no_beat = true;
                    self->tell("the registry refused the heartbeat");
                }
                return G_SOURCE_CONTINUE;
            },
            this);
        // Whatever a previous run left behind is no call now.
        changed();
        connect_system_bus();
        m_speaker = std::make_unique<SpeakerMirror>();
    }

    ~PhoneBridgeImpl() override {
        m_closing = true;
        m_speaker.reset();
        disconnect_system_bus();
        for (auto& slot : m_stacks) stop_patience(*slot);
        m_table = CallTable();
        // A call the bridge can no longer follow must not keep a recording running.
        changed();
        LinePublisher::set_bridge_running(false);
        if (m_reconnect) g_source_remove(m_reconnect);
        if (m_beat) g_source_remove(m_beat);
        g_main_loop_unref(m_loop);
    }

    void run() override {
        const guint interrupt = g_unix_signal_add(SIGINT, &PhoneBridgeImpl::on_quit_signal, this);
        const guint terminate = g_unix_signal_add(SIGTERM, &PhoneBridgeImpl::on_quit_signal, this);
        g_main_loop_run(m_loop);
        g_source_remove(interrupt);
        g_source_remove(terminate);
    }

    void quit() override { g_main_loop_quit(m_loop); }

    bool run_until(const std::function<bool()>& done, double seconds) override {
        bool expired = false;
        const guint deadline = g_timeout_add(static_cast<guint>(seconds * 1000), &PhoneBridgeImpl::on_flag, &expired);
        // Conditions outside the loop (another process's writes) are looked at every 20 ms too.
        const guint tick = g_timeout_add(
            20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
        while (!done() && !expired) g_main_context_iteration(nullptr, TRUE);
        g_source_remove(tick);
        if (!expired) g_source_remove(deadline);
        return done();
    }

    void set_publish_listener(PublishListener listener) override { m_publish_listener = std::move(listener); }
    void set_message_listener(std::function<void(const std::string&)> listener) override {
        m_message_listener = std::move(listener);
    }

    std::string stack() const override {
        for (const auto& slot : m_stacks) {
            if (slot->present) return slot->source->label();
        }
        return {};
    }

    const CallTable& calls() const override { return m_table; }

private:
    CallTable& table() override { return m_table; }

    void changed() override {
        for (auto& slot : m_stacks) {
            if (slot->patience && !m_table.has_unconfirmed(slot->source->key_prefix())) stop_patience(*slot);
        }
        const LineSnapshot snapshot = m_table.snapshot();
        const std::vector<TriggeredLaunch> launches = m_publisher.publish(snapshot);
        for (const TriggeredLaunch& launch : launches) {
            // Reaped when it ends, so a long-lived bridge leaves no zombies behind.
            if (launch.pid > 0)
                g_child_watch_add(
                    launch.pid, [](GPid pid, gint, gpointer) { g_spawn_close_pid(pid); }, nullptr);
        }
        if (m_last_told && *m_last_told == snapshot && launches.empty()) return;
        m_last_told = snapshot;
        os::log() << u"bridge: calls=" << snapshot.call_count << u" connected=" << (snapshot.connected ? 1 : 0)
                  << u" ringing=" << (snapshot.ringing ? 1 : 0) << u" dialling=" << (snapshot.dialling ? 1 : 0) << u" "
                  << os::tick_count() << u"\n";
        if (m_publish_listener) m_publish_listener(snapshot, launches);
    }

    void tell(const std::string& message) {
        os::log() << u"bridge: " << os::from_utf8(message) << u"\n";
        if (m_message_listener) m_message_listener(message);
    }

    // ---- the system bus ----

    void connect_system_bus() {
        std::string error;
        m_system = os::dbus::Bus::open(os::dbus::BusKind::system, error);
        if (!m_system.is_valid()) {
            if (!m_said_no_bus) tell("no system bus: " + error);
            m_said_no_bus = true;
            schedule_reconnect();
            return;
        }
        if (m_said_no_bus) tell("system bus connected");
        m_said_no_bus = false;
        m_said_waiting = false;
        m_closed = os::dbus::CloseWatch(m_system, [this](const std::string& why) { on_closed(why); });
        for (auto& slot : m_stacks) {
            slot->heard = false;
            StackSlot* watched = slot.get();
            slot->watch = os::dbus::NameWatch(
                m_system, slot->source->bus_name(), [this, watched] { stack_found(*watched); },
                [this, watched] {
                    stack_lost(*watched);
                    changed();
                });
        }
    }

    void disconnect_system_bus() {
        if (!m_system.is_valid()) return;
        for (auto& slot : m_stacks) {
            slot->watch.reset();
            stack_lost(*slot);
        }
        m_closed.reset();
        m_system.reset();
    }

    void schedule_reconnect() {
        if (m_reconnect) return;
        m_reconnect = g_timeout_add(
            static_cast<guint>(m_options.reconnect_seconds * 1000),
            [](gpointer user) -> gboolean {
                auto* self = static_cast<PhoneBridgeImpl*>(user);
                self->m_reconnect = 0;
                self->connect_system_bus();
                return G_SOURCE_REMOVE;
            },
            this);
    }

    void on_closed(const std::string& why) {
        tell(std::string("the system bus closed") + (why.empty() ? "" : ": " + why));
        m_said_no_bus = true;
        disconnect_system_bus();
        changed();
        schedule_reconnect();
    }

    // ---- the stacks ----

    void stack_found(StackSlot& slot) {
        slot.heard = true;
        if (slot.present) return;
        slot.present = true;
        m_said_waiting = false;
        tell(std::string(slot.source->label()) + " found on the system bus");
        // A stack that has just come back may take a while to list its modems and calls again: the
        // patience, not this moment, ends the calls it does not list.
        slot.source->attach(m_system);
        changed();
    }

    void stack_lost(StackSlot& slot) {
        slot.heard = true;
        if (slot.present) {
            slot.present = false;
            slot.source->detach();
            tell(std::string(slot.source->label()) + " left the system bus");
            m_table.unconfirm(slot.source->key_prefix());
            if (m_table.has_unconfirmed(slot.source->key_prefix())) start_patience(slot);
        }
        if (!m_closing) say_if_waiting();
    }

    void say_if_waiting() {
        for (const auto& slot : m_stacks) {
            if (!slot->heard || slot->present) return;
        }
        if (m_said_waiting) return;
        m_said_waiting = true;
        tell("neither ModemManager nor oFono is on the system bus; waiting for one");
    }

    void start_patience(StackSlot& slot) {
        stop_patience(slot);
        slot.patience = g_timeout_add(
            static_cast<guint>(m_options.restart_patience_seconds * 1000),
            [](gpointer user) -> gboolean {
                auto* slot = static_cast<StackSlot*>(user);
                slot->patience = 0;
                slot->bridge->patience_over(*slot);
                return G_SOURCE_REMOVE;
            },
            &slot);
    }

    void stop_patience(StackSlot& slot) {
        if (slot.patience) g_source_remove(slot.patience);
        slot.patience = 0;
    }

    void patience_over(StackSlot& slot) {
        const size_t gone = m_table.drop_unconfirmed(slot.source->key_prefix());
        if (gone > 0) {
            tell(std::string(slot.source->label()) + " did not list " + std::to_string(gone) + " call(s) again; over");
        }
        changed();
    }

    static gboolean on_quit_signal(gpointer user) {
        static_cast<PhoneBridgeImpl*>(user)->quit();
        return G_SOURCE_CONTINUE;
    }

    static gboolean on_flag(gpointer user) {
        *static_cast<bool*>(user) = true;
        return G_SOURCE_REMOVE;
    }

    PhoneBridgeOptions m_options;
    GMainLoop* m_loop = nullptr;
    os::dbus::Bus m_system;
    os::dbus::CloseWatch m_closed;
    guint m_reconnect = 0;
    guint m_beat = 0;
    bool m_said_no_beat = false;
    std::vector<std::unique_ptr<StackSlot>> m_stacks;
    CallTable m_table;
    LinePublisher m_publisher;
    std::optional<LineSnapshot> m_last_told;
    std::unique_ptr<SpeakerMirror> m_speaker;
    PublishListener m_publish_listener;
    std::function<void(const std::string&)> m_message_listener;
    bool m_said_no_bus = false;
    bool m_said_waiting = false;
    bool m_closing = false;
};

}  // namespace

std::unique_ptr<PhoneBridge> PhoneBridge::create(const PhoneBridgeOptions& options) {
    return std::make_unique<PhoneBridgeImpl>(options);
}
