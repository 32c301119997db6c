#pragma once
// The GDBus objects behind os/dbus's types, for the .cpp files that speak GDBus themselves (objects
// exported on the bus, calls answered on their loop). Only .cpp files include this header.
#include <gio/gio.h>

#include <functional>
#include <thread>

#include "os/dbus/bus.h"

namespace os::dbus {

struct Connection {
    explicit Connection(GDBusConnection* connection) : gio(connection) {}
    ~Connection() { g_object_unref(gio); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    GDBusConnection* const gio;
};

struct ValueData {
    explicit ValueData(GVariant* value) : gio(value) {}
    ~ValueData() { g_variant_unref(gio); }
    ValueData(const ValueData&) = delete;
    ValueData& operator=(const ValueData&) = delete;
    GVariant* const gio;
};

// A GLib main loop on a thread of its own, for a service whose bus callbacks must never wait for
// the GUI thread. The thread makes the context its default, runs `begin`, the loop, then `end` (where
// the service lets go of its bus and what it holds), and runs what the connection still queued for
// the context before it ends, so nothing is left on a context nobody runs.
class LoopThread {
public:
    LoopThread() : m_context(g_main_context_new()), m_loop(g_main_loop_new(m_context, FALSE)) {}
    ~LoopThread() {
        if (m_thread.joinable()) m_thread.join();
        g_main_loop_unref(m_loop);
        g_main_context_unref(m_context);
    }
    LoopThread(const LoopThread&) = delete;
    LoopThread& operator=(const LoopThread&) = delete;

    void start(std::function<void()> begin, std::function<void()> end) {
        m_thread = std::thread([this, begin = std::move(begin), end = std::move(end)] {
            g_main_context_push_thread_default(m_context);
            if (begin) begin();
            g_main_loop_run(m_loop);
            if (end) end();
            while (g_main_context_iteration(m_context, FALSE)) {
            }
            g_main_context_pop_thread_default(m_context);
        });
    }
    // Has `stop` run on the loop thread (it quits the loop, at once or once its calls are answered)
    // and waits for the thread to end.
    void finish(std::function<void()> stop) {
        if (!m_thread.joinable()) return;
        m_stop = std::move(stop);
        g_main_context_invoke(
            m_context,
            [](gpointer self) {
                static_cast<LoopThread*>(self)->m_stop();
                return G_SOURCE_REMOVE;
            },
            this);
        m_thread.join();
    }
    // On the loop thread.
    void quit() { g_main_loop_quit(m_loop); }
    GMainContext* context() const { return m_context; }

private:
    GMainContext* const m_context;
    GMainLoop* const m_loop;
    std::thread m_thread;
    std::function<void()> m_stop;
};

// Null for a bus that is not valid.
inline GDBusConnection* gio_connection(const Bus& bus) { return bus.connection() ? bus.connection()->gio : nullptr; }

// Takes over the reference of a value GDBus handed out (a floating one is sunk); none for null.
Value adopt(GVariant* value);
// Takes a reference of its own to a value borrowed for a callback's time.
Value borrow(GVariant* value);
// The arguments as a floating tuple; null when there are none.
GVariant* to_gio(const Args& args);

}  // namespace os::dbus
