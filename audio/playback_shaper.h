#pragma once
// Between a file reader and the player: plays faster or slower with the pitch kept (time-stretching
// through SoundTouch), and can shorten the silences of a recording. At normal speed with skipping
// off, blocks pass untouched. Pull direction only; get_data runs on the player's thread under this
// node's lock, the setters come from the GUI thread and take the same lock.
//
// What is dropped or stretched never changes the reader's position, so the times the screen shows
// (read from the reader) stay those of the file.
#include <memory>
#include <vector>

#include "audio/audio_node.h"

class PlaybackShaper : public AudioFilter {
public:
    // The speeds offered, in percent of normal.
    static constexpr int speeds[] = {75, 100, 125, 150, 200};
    // Silence judged over runs of this length is kept up to this much, the rest is dropped.
    static constexpr double silence_kept_seconds = 1.0;
    static constexpr double silence_window_seconds = 0.01;
    // The level below which sound counts as silence when voice activation gives none.
    static constexpr double default_silence_level = 0.02;

    PlaybackShaper();
    ~PlaybackShaper() override;

    // Percent of normal speed, clamped to 50..400.
    void set_speed(int percent);
    int speed();
    void set_skip_silence(bool skip, double level);
    bool skips_silence();
    // Forgets what is held for the old position: a seek follows.
    void clear();

    AudioBlock get_data(int requested_frames) override;

protected:
    AudioBlock transform(const AudioBlock& block) override { return block; }

private:
    class Stretcher;
    // The frames of block that are not part of a silence past the kept length.
    AudioBlock drop_silence(const AudioBlock& block);

    int m_speed = 100;
    bool m_skip = false;
    double m_silence_level = default_silence_level;
    double m_silent_seconds = 0.0;
    std::unique_ptr<Stretcher> m_stretcher;
    bool m_flushed = false;
};
