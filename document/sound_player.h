#pragma once
// Plays short sound files (the beeps that frame a recording) through the same audio output as the
// player. A missing file or output is not an error.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// Plays the file to the end before returning. False when nothing could be played.
bool play_sound_sync(std::u16string_view path);

// Plays sounds one after another on a thread of its own, so neither the start of capture nor the
// GUI thread waits for a sound server that buffers for a second or two before a beep is heard.
// play() comes from the GUI thread; the destructor waits for the sound that plays (bounded by the
// synchronous player's own limit) and drops the ones still waiting.
class BeepPlayer {
public:
    BeepPlayer() = default;
    BeepPlayer(const BeepPlayer&) = delete;
    BeepPlayer& operator=(const BeepPlayer&) = delete;
    ~BeepPlayer();

    void play(std::u16string_view path);
    // True while a sound plays or waits to be played.
    bool busy();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::u16string> m_queue;
    bool m_playing = false;
    bool m_closing = false;
    std::thread m_thread;
};
