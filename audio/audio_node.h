#pragma once
// The node model. Every node has an input face (AudioConsumer: on_data, its upstream port, its own
// lock) and/or an output face (AudioPort: get_data, its downstream consumer). Data moves either
// pushed (a source calls feed(port, block), which runs the consumer's on_data) or pulled (a sink
// calls pull(self, frames), which runs the upstream port's get_data).
//
// Locking contract:
// - A consumer's lock (recursive, like a critical section) serialises every operation of the node.
//   feed() holds the consumer's lock while on_data runs; a filter holds its own lock while it feeds
//   downstream. Locks are therefore taken in chain order, upstream before downstream, never back.
// - connect() takes the old consumer's lock to unlink and the new consumer's lock to link, so an
//   unlink waits for a call in progress in the consumer and no on_data runs after it returns.
// - Nothing is thrown out of on_data or get_data.
#include <mutex>

#include "audio/audio_block.h"

class AudioPort;

class AudioConsumer {
public:
    AudioConsumer() = default;
    AudioConsumer(const AudioConsumer&) = delete;
    AudioConsumer& operator=(const AudioConsumer&) = delete;
    virtual ~AudioConsumer();

    // Runs on the pushing thread (the recorder's or the buffer's), always with lock() held by
    // feed(). The block is only borrowed: keep a copy to hold on to its samples.
    virtual void on_data(const AudioBlock& block) = 0;

    // The port that feeds this node, or null. Read it under lock().
    AudioPort* upstream() const { return m_upstream; }
    std::recursive_mutex& lock() { return m_lock; }

private:
    friend void connect(AudioPort& port, AudioConsumer* consumer);
    AudioPort* m_upstream = nullptr;
    std::recursive_mutex m_lock;
};

class AudioPort {
public:
    AudioPort() = default;
    AudioPort(const AudioPort&) = delete;
    AudioPort& operator=(const AudioPort&) = delete;
    virtual ~AudioPort();

    // Up to requested_frames sample frames (a source may return fewer, a compressed stream one
    // coded unit); the empty block when nothing is available now or the data has ended. Runs on the
    // pulling thread (the player's); a node with a lock takes it inside.
    virtual AudioBlock get_data(int requested_frames) = 0;

    // The consumer this port feeds, or null.
    AudioConsumer* downstream() const;

private:
    friend void connect(AudioPort& port, AudioConsumer* consumer);
    friend void feed(AudioPort& port, const AudioBlock& block);
    // Guards m_downstream for feed() against a concurrent connect(): without it a feed could pick
    // up a consumer that is being unlinked and destroyed. Held across the downstream on_data.
    mutable std::mutex m_link_lock;
    AudioConsumer* m_downstream = nullptr;
};

// Unlinks the port's current consumer (under that consumer's lock), then links the new one (under
// its lock). A null consumer just disconnects. Do not call from inside on_data of the same chain.
void connect(AudioPort& port, AudioConsumer* consumer);
// Hands a block to the port's consumer under the consumer's lock; without a consumer the block is
// dropped silently.
void feed(AudioPort& port, const AudioBlock& block);
// The upstream port's get_data(requested_frames), or the empty block when there is no upstream.
// Call with the consumer's lock held.
AudioBlock pull(AudioConsumer& consumer, int requested_frames);

// A processing node: both faces, one transform. Push: on_data transforms under the node's lock and
// feeds the result on. Pull: get_data pulls from upstream under the node's lock and returns the
// transformed block. Both run on the caller's thread.
class AudioFilter : public AudioConsumer, public AudioPort {
public:
    void on_data(const AudioBlock& block) override;
    ~AudioFilter() override;
    AudioBlock get_data(int requested_frames) override;

protected:
    // Called with the node's lock held, on the pushing or pulling thread.
    virtual AudioBlock transform(const AudioBlock& block) = 0;
};
