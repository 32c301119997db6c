#include "os/media/mpris_service.h"

#include <gio/gio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "os/dbus/gio_link.h"
#include "os/log.h"
#include "os/text.h"

namespace os {

namespace {

constexpr const char* object_path = "/org/mpris/MediaPlayer2";
constexpr const char* root_interface = "org.mpris.MediaPlayer2";
constexpr const char* player_interface = "org.mpris.MediaPlayer2.Player";
constexpr const char* no_track = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr const char* track_prefix = "/com/korvel/QuillonTouch/track/";

constexpr const char* introspection = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
    <method name="SetPosition">
      <arg direction="in" name="TrackId" type="o"/>
      <arg direction="in" name="Position" type="x"/>
    </method>
    <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

// The properties of the player that the desktop is told of when they change; Position is asked.
constexpr const char* announced[] = {"PlaybackStatus", "Metadata", "Volume", "CanPlay", "CanPause", "CanSeek"};

gint64 microseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return 0;
    return static_cast<gint64>(std::llround(seconds * 1e6));
}

const char* status_text(MediaState::Status status) {
    switch (status) {
        case MediaState::Status::Playing:
            return "Playing";
        case MediaState::Status::Paused:
            return "Paused";
        case MediaState::Status::Stopped:
            break;
    }
    return "Stopped";
}

}  // namespace

struct MprisService::Impl {
    std::string identity;
    std::string desktop_entry;
    std::string bus_name;

    os::dbus::LoopThread loop_thread;

    // The loop thread's alone.
    os::dbus::Bus session_bus;
    GDBusConnection* bus = nullptr;  // session_bus's
    GDBusNodeInfo* node = nullptr;
    guint root_registration = 0;
    guint player_registration = 0;
    os::dbus::NameOwnership name_owner;
    // What the desktop was last told, property by property.
    GVariant* told[std::size(announced)] = {};

    mutable std::mutex lock;
    std::condition_variable ready_changed;
    bool ready = false;
    bool published = false;
    CommandHandler handler;
    MediaState state;
    std::chrono::steady_clock::time_point stamp = std::chrono::steady_clock::now();
    // A new number whenever another recording plays or records.
    unsigned track = 0;

    void start();
    void stop();
    void set_ready(bool owned);
    void announce_changes();
    void emit_seeked(double position);
    void command(const MediaCommand& command);

    // Under the lock.
    double position_now() const;
    std::string track_path() const;
    GVariant* player_property(const char* name) const;
    GVariant* root_property(const char* name) const;
    GVariant* metadata() const;
};

double MprisService::Impl::position_now() const {
    double position = state.position;
    if (state.status == MediaState::Status::Playing) {
        position += std::chrono::duration<double>(std::chrono::steady_clock::now() - stamp).count();
    }
    if (state.length > 0) position = std::min(position, state.length);
    return std::max(position, 0.0);
}

std::string MprisService::Impl::track_path() const {
    return state.path.empty() ? std::string(no_track) : std::string(track_prefix) + std::to_string(track);
}

GVariant* MprisService::Impl::metadata() const {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&builder, "{sv}", "mpris:trackid", g_variant_new_object_path(track_path().c_str()));
    if (!state.path.empty()) {
        if (state.length > 0) {
            g_variant_builder_add(&builder, "{sv}", "mpris:length", g_variant_new_int64(microseconds(state.length)));
        }
        g_variant_builder_add(&builder, "{sv}", "xesam:title", g_variant_new_string(to_utf8(state.title).c_str()));
        if (!state.artist.empty()) {
            const std::string artist = to_utf8(state.artist);
            const gchar* artists[] = {artist.c_str(), nullptr};
            g_variant_builder_add(&builder, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
        }
        if (!state.album.empty()) {
            g_variant_builder_add(&builder, "{sv}", "xesam:album", g_variant_new_string(to_utf8(state.album).c_str()));
        }
        if (gchar* uri = g_filename_to_uri(to_utf8(state.path).c_str(), nullptr, nullptr)) {
            g_variant_builder_add(&builder, "{sv}", "xesam:url", g_variant_new_string(uri));
            g_free(uri);
        }
    }
    return g_variant_builder_end(&builder);
}

GVariant* MprisService::Impl::player_property(const char* name) const {
    const std::string_view property(name);
    if (property == "PlaybackStatus") return g_variant_new_string(status_text(state.status));
    if (property == "Rate" || property == "MinimumRate" || property == "MaximumRate") return g_variant_new_double(1.0);
    if (property == "Metadata") return metadata();
    if (property == "Volume") return g_variant_new_double(state.volume);
    if (property == "Position") return g_variant_new_int64(microseconds(position_now()));
    if (property == "CanGoNext" || property == "CanGoPrevious") return g_variant_new_boolean(FALSE);
    if (property == "CanPlay") return g_variant_new_boolean(state.can_play);
    if (property == "CanPause") return g_variant_new_boolean(state.can_pause);
    if (property == "CanSeek") return g_variant_new_boolean(state.can_seek);
    if (property == "CanControl") return g_variant_new_boolean(TRUE);
    return nullptr;
}

GVariant* MprisService::Impl::root_property(const char* name) const {
    const std::string_view property(name);
    if (property == "CanQuit" || property == "HasTrackList") return g_variant_new_boolean(FALSE);
    if (property == "CanRaise") return g_variant_new_boolean(TRUE);
    if (property == "Identity") return g_variant_new_string(identity.c_str());
    if (property == "DesktopEntry") return g_variant_new_string(desktop_entry.c_str());
    if (property == "SupportedUriSchemes" || property == "SupportedMimeTypes") return g_variant_new_strv(nullptr, 0);
    return nullptr;
}

void MprisService::Impl::command(const MediaCommand& command) {
    CommandHandler chosen;
    {
        std::lock_guard<std::mutex> guard(lock);
        chosen = handler;
    }
    if (chosen) chosen(command);
}

void MprisService::Impl::set_ready(bool owned) {
    {
        std::lock_guard<std::mutex> guard(lock);
        ready = true;
        published = owned;
    }
    ready_changed.notify_all();
}

void MprisService::Impl::start() {
    GError* error = nullptr;
    std::string reason;
    session_bus = os::dbus::Bus::open(os::dbus::BusKind::session, reason);
    bus = os::dbus::gio_connection(session_bus);
    const std::u16string why = from_utf8(reason);
    if (!bus) {
        log() << u"mpris: no session bus: " << why << u"\n";
        set_ready(false);
        return;
    }
    node = g_dbus_node_info_new_for_xml(introspection, nullptr);

    static const GDBusInterfaceVTable vtable = {
        // Method calls.
        [](GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method,
           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
            auto* impl = static_cast<Impl*>(data);
            const std::string_view name(method);
            if (g_strcmp0(interface, root_interface) == 0) {
                if (name == "Raise") impl->command({MediaCommand::Kind::Raise, 0});
                g_dbus_method_invocation_return_value(invocation, nullptr);
                return;
            }
            if (name == "OpenUri") {
                g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.NotSupported",
                                                           "This player opens no addresses");
                return;
            }
            if (name == "Play") impl->command({MediaCommand::Kind::Play, 0});
            if (name == "Pause") impl->command({MediaCommand::Kind::Pause, 0});
            if (name == "PlayPause") impl->command({MediaCommand::Kind::PlayPause, 0});
            if (name == "Stop") impl->command({MediaCommand::Kind::Stop, 0});
            if (name == "Seek") {
                gint64 offset = 0;
                g_variant_get(parameters, "(x)", &offset);
                impl->command({MediaCommand::Kind::SeekBy, static_cast<double>(offset) / 1e6});
            }
            if (name == "SetPosition") {
                const gchar* track = nullptr;
                gint64 position = 0;
                g_variant_get(parameters, "(&ox)", &track, &position);
                bool current = false;
                {
                    std::lock_guard<std::mutex> guard(impl->lock);
                    current = !impl->state.path.empty() && impl->track_path() == track;
                }
                // A position for a track that no longer plays, or outside it, is ignored.
                if (current && position >= 0) {
                    impl->command({MediaCommand::Kind::SeekTo, static_cast<double>(position) / 1e6});
                }
            }
            // Next and Previous: there is no list to move in.
            g_dbus_method_invocation_return_value(invocation, nullptr);
        },
        // Properties.
        [](GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* property, GError** error,
           gpointer data) -> GVariant* {
            auto* impl = static_cast<Impl*>(data);
            std::lock_guard<std::mutex> guard(impl->lock);
            GVariant* value = g_strcmp0(interface, root_interface) == 0 ? impl->root_property(property)
                                                                        : impl->player_property(property);
            if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", property);
            return value;
        },
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property, GVariant* value, GError**,
           gpointer data) -> gboolean {
            auto* impl = static_cast<Impl*>(data);
            if (g_strcmp0(property, "Volume") == 0 && g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
                impl->command({MediaCommand::Kind::SetVolume, std::clamp(g_variant_get_double(value), 0.0, 1.0)});
            }
            // The rate stays 1: a change of it is accepted and has no effect, as the interface allows.
            return TRUE;
        },
        {}};
    root_registration = g_dbus_connection_register_object(
        bus, object_path, g_dbus_node_info_lookup_interface(node, root_interface), &vtable, this, nullptr, &error);
    if (root_registration != 0) {
        player_registration = g_dbus_connection_register_object(
            bus, object_path, g_dbus_node_info_lookup_interface(node, player_interface), &vtable, this, nullptr,
            &error);
    }
    if (root_registration == 0 || player_registration == 0) {
        log() << u"mpris: not published: " << from_utf8(error ? error->message : "none") << u"\n";
        if (error) g_error_free(error);
        set_ready(false);
        return;
    }
    name_owner = os::dbus::NameOwnership(
        session_bus, bus_name,
        [this](const std::string& name) {
            log() << u"mpris: published as " << from_utf8(name) << u"\n";
            set_ready(true);
        },
        [this](const std::string& name) {
            log() << u"mpris: not published: the name " << from_utf8(name) << u" is taken or the bus is gone\n";
            set_ready(false);
        });
}

void MprisService::Impl::announce_changes() {
    if (!bus || player_registration == 0) return;
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    bool any = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (size_t i = 0; i < std::size(announced); ++i) {
            GVariant* value = g_variant_ref_sink(player_property(announced[i]));
            if (told[i] && g_variant_equal(told[i], value)) {
                g_variant_unref(value);
                continue;
            }
            if (told[i]) g_variant_unref(told[i]);
            told[i] = value;
            g_variant_builder_add(&changed, "{sv}", announced[i], value);
            any = true;
        }
    }
    if (!any) {
        g_variant_builder_clear(&changed);
        return;
    }
    g_dbus_connection_emit_signal(bus, nullptr, object_path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                  g_variant_new("(sa{sv}as)", player_interface, &changed, nullptr), nullptr);
}

void MprisService::Impl::emit_seeked(double position) {
    if (!bus || player_registration == 0) return;
    g_dbus_connection_emit_signal(bus, nullptr, object_path, player_interface, "Seeked",
                                  g_variant_new("(x)", microseconds(position)), nullptr);
}

void MprisService::Impl::stop() {
    if (bus) {
        name_owner.reset();
        if (player_registration != 0) g_dbus_connection_unregister_object(bus, player_registration);
        if (root_registration != 0) g_dbus_connection_unregister_object(bus, root_registration);
        g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    }
    loop_thread.quit();
}

MprisService::MprisService(std::u16string identity, std::u16string desktop_entry, std::u16string bus_suffix)
    : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.identity = to_utf8(identity);
    impl.desktop_entry = to_utf8(desktop_entry);
    impl.bus_name = "org.mpris.MediaPlayer2." + to_utf8(bus_suffix);
    impl.loop_thread.start([&impl] { impl.start(); },
                           [&impl] {
                               for (GVariant*& value : impl.told) {
                                   if (value) g_variant_unref(value);
                                   value = nullptr;
                               }
                               impl.session_bus.reset();
                               impl.bus = nullptr;
                               if (impl.node) g_dbus_node_info_unref(impl.node);
                           });
}

MprisService::~MprisService() {
    Impl& impl = *m_impl;
    impl.loop_thread.finish([&impl] { impl.stop(); });
}

void MprisService::set_command_handler(CommandHandler handler) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->handler = std::move(handler);
}

void MprisService::publish(const MediaState& state) {
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        if (state.path != m_impl->state.path || state.recording != m_impl->state.recording) ++m_impl->track;
        m_impl->state = state;
        m_impl->stamp = std::chrono::steady_clock::now();
    }
    g_main_context_invoke(
        m_impl->loop_thread.context(),
        [](gpointer data) {
            static_cast<Impl*>(data)->announce_changes();
            return G_SOURCE_REMOVE;
        },
        m_impl.get());
}

void MprisService::seeked(double position) {
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        m_impl->state.position = position;
        m_impl->stamp = std::chrono::steady_clock::now();
    }
    struct Seek {
        Impl* impl;
        double position;
    };
    g_main_context_invoke_full(
        m_impl->loop_thread.context(), G_PRIORITY_DEFAULT,
        [](gpointer data) {
            const auto* seek = static_cast<const Seek*>(data);
            seek->impl->emit_seeked(seek->position);
            return G_SOURCE_REMOVE;
        },
        new Seek{m_impl.get(), position}, [](gpointer data) { delete static_cast<Seek*>(data); });
}

bool MprisService::wait_published(double seconds) {
    std::unique_lock<std::mutex> guard(m_impl->lock);
    m_impl->ready_changed.wait_for(guard, std::chrono::duration<double>(seconds), [this] { return m_impl->ready; });
    return m_impl->published;
}

}  // namespace os
