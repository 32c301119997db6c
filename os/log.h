#pragma once
// The diagnostic log. It writes UTF-16LE lines ending in "\n" to "Temp/<program>.txt" under the
// user's data folder, but only while the DWORD "Log" under "HKEY_CURRENT_USER\Software\Korvel" is
// non-zero. Logging can be switched at run time: the value is read again by an os::log() call once
// half a second has passed since the last read (at once after this process wrote to the registry),
// and refresh_log_switch() lets a timer keep it current while nothing logs.
//
// Audio threads must never wait for the registry: a busy database can hold its lock for as long
// as a write's bounded wait, and a capture thread that stalls that long loses audio. A thread that
// calls mark_audio_thread() only ever reads the switch as another thread last saw it.
//
//     os::log() << u"WinMain:" << os::tick_count() << u"\n";
//
// Any thread may log. The sink stays alive for the whole statement even if another thread switches
// logging off meanwhile.
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace os {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(std::u16string_view text) = 0;
    virtual void flush() = 0;
    // True for the sink that writes to a file; false for the discarding one.
    virtual bool is_file() const = 0;

    void write_integer(long long value);
    void write_unsigned(unsigned long long value);
    void write_bool(bool value);
};

class LogStream {
public:
    explicit LogStream(std::shared_ptr<LogSink> sink) : m_sink(std::move(sink)) {}

    LogStream& operator<<(std::u16string_view text) {
        m_sink->write(text);
        return *this;
    }
    LogStream& operator<<(const char16_t* text) { return *this << std::u16string_view(text); }
    LogStream& operator<<(const std::u16string& text) { return *this << std::u16string_view(text); }
    template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>>
    LogStream& operator<<(T value) {
        if constexpr (std::is_same_v<T, bool>) {
            m_sink->write_bool(value);
        } else if constexpr (std::is_floating_point_v<T>) {
            m_sink->write_integer(static_cast<long long>(value));
        } else if constexpr (std::is_signed_v<T>) {
            m_sink->write_integer(value);
        } else {
            m_sink->write_unsigned(value);
        }
        return *this;
    }
    void flush() { m_sink->flush(); }
    LogSink& sink() { return *m_sink; }

private:
    std::shared_ptr<LogSink> m_sink;
};

LogStream log();

// From now on os::log() on the calling thread never touches the registry nor waits on a lock that
// another thread may hold for longer than it takes to copy a pointer.
void mark_audio_thread();
// Reads the "Log" value again when half a second has passed since the last read. Not for audio
// threads (it does nothing there).
void refresh_log_switch();

// Where the log file goes while logging is on.
std::u16string log_file_path();

// Writes "Gluck: " + message + " @ " + location to the log, flushes it and ends the process with a
// non-zero status. Every broken contract of the program ends here.
[[noreturn]] void fatal_error(std::u16string_view location, std::u16string_view message);

}  // namespace os
