#pragma once
// The decoupling queue between the recorder's thread and the file writer. on_data (on the pushing
// thread, under this node's lock taken by feed) only queues a shared view of the block; the buffer's
// own thread takes blocks from the head and feeds them to its port, so encoding and file writes run
// there and never block the recorder.
//
// Guards: more than 10,000,000 queued bytes, or available memory of 999,999 bytes or less, makes
// the buffer invalid; from then on blocks are dropped until start(). The Document polls is_valid().
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "audio/audio_node.h"
#include "os/event.h"
#include "os/thread.h"

class ActiveBuffer : public AudioConsumer, public AudioPort {
public:
    static constexpr std::size_t max_queued_bytes = 10'000'000;
    static constexpr uint64_t min_available_memory = 1'000'000;

    // The thread runs from construction to destruction.
    ActiveBuffer();
    ~ActiveBuffer() override;

    // Any pushing thread; called by feed() with lock() held.
    void on_data(const AudioBlock& block) override;
    // The buffer pushes; pulling from it yields the empty block.
    AudioBlock get_data(int requested_frames) override;

    // Valid again with an empty queue (and no longer holding).
    void start();
    // While held, blocks are queued but not handed on: capture can begin before the file that
    // takes its audio is ready. Releasing hands on everything queued meanwhile, in order.
    void hold(bool held);
    bool is_valid();
    std::size_t queued_bytes();
    // Blocks not yet handed to the writer, counting the one being handed over right now, so a
    // count of 0 means the writer has returned from every block queued so far.
    std::size_t queued_blocks();

private:
    class Worker;
    void run_loop(Thread& thread);

    std::deque<AudioBlock> m_fifo;
    std::size_t m_queued_bytes = 0;
    std::size_t m_in_flight = 0;
    bool m_valid = true;
    bool m_held = false;
    Event m_wake;
    std::unique_ptr<Worker> m_worker;
};
