#include "audio/active_buffer.h"

#include <gtest/gtest.h>

#include "audio/memory_status.h"
#include "audio_test_support.h"

namespace {

// Holds the buffer's thread inside the writer until released, so the queue can be filled.
class BlockingSink : public AudioConsumer {
public:
    void on_data(const AudioBlock& block) override {
        lengths.push_back(block.length());
        entered.set();
        release.wait();
    }
    Event entered{Event::Reset::Automatic};
    Event release{Event::Reset::Manual};
    std::vector<std::size_t> lengths;
};

uint64_t little_memory() { return 999'999; }

const AudioFormat mono16{1, 16, 8000};

}  // namespace

TEST(ActiveBuffer, BoundIsExactlyTenMillionBytesAndStartRevives) {
    ActiveBuffer buffer;
    BlockingSink sink;
    connect(buffer, &sink);
    AudioPort& in = *new audio_test::ByteSource({}, mono16);  // any port will do as the pusher
    connect(in, &buffer);

    feed(in, AudioBlock(2, mono16));
    ASSERT_TRUE(sink.entered.wait_for(5000));  // the first block is with the writer now
    EXPECT_EQ(buffer.queued_blocks(), 1u);     // ... and still counts until the writer returns

    feed(in, AudioBlock(10'000'000, mono16));
    EXPECT_EQ(buffer.queued_bytes(), 10'000'000u);
    feed(in, AudioBlock(4, mono16));  // exactly 10,000,000 queued still accepts
    EXPECT_TRUE(buffer.is_valid());
    EXPECT_EQ(buffer.queued_bytes(), 10'000'004u);
    feed(in, AudioBlock(4, mono16));  // over the bound: invalid, dropped
    EXPECT_FALSE(buffer.is_valid());
    EXPECT_EQ(buffer.queued_bytes(), 10'000'004u);
    EXPECT_EQ(buffer.queued_blocks(), 3u);

    buffer.start();
    EXPECT_TRUE(buffer.is_valid());
    EXPECT_EQ(buffer.queued_bytes(), 0u);
    feed(in, AudioBlock(6, mono16));
    EXPECT_EQ(buffer.queued_bytes(), 6u);
    sink.release.set();
    while (buffer.queued_blocks() > 0) sink.entered.wait_for(50);
    EXPECT_EQ(sink.lengths, (std::vector<std::size_t>{2, 6}));
    connect(in, nullptr);
    delete &in;
    connect(buffer, nullptr);
}

TEST(ActiveBuffer, LowMemoryInvalidates) {
    ActiveBuffer buffer;
    audio_test::CollectingSink sink;
    connect(buffer, &sink);
    audio_test::ByteSource in({}, mono16);
    connect(in, &buffer);
    set_memory_source(&little_memory);
    feed(in, AudioBlock(8, mono16));
    set_memory_source(nullptr);
    EXPECT_FALSE(buffer.is_valid());
    EXPECT_EQ(buffer.queued_blocks(), 0u);
    feed(in, AudioBlock(8, mono16));  // stays invalid until start, whatever the memory
    EXPECT_FALSE(buffer.is_valid());
    buffer.start();
    feed(in, AudioBlock(8, mono16));
    EXPECT_TRUE(buffer.is_valid());
    while (buffer.queued_blocks() > 0) sink.arrived.wait_for(50);
    EXPECT_EQ(sink.size(), 8u);
    EXPECT_GT(available_physical_memory(), 0u);
    connect(in, nullptr);
    connect(buffer, nullptr);
}

TEST(ActiveBuffer, HandsBlocksOverInOrderSharingSamples) {
    ActiveBuffer buffer;
    audio_test::CollectingSink sink;
    connect(buffer, &sink);
    std::vector<AudioBlock> sent;
    for (int i = 0; i < 50; ++i) {
        AudioBlock block(4, mono16);
        std::memset(block.data(), i, 4);
        sent.push_back(block);
        buffer.lock().lock();  // as feed would hold it
        buffer.on_data(block);
        buffer.lock().unlock();
    }
    while (buffer.queued_blocks() > 0) sink.arrived.wait_for(50);
    const auto bytes = sink.snapshot();
    ASSERT_EQ(bytes.size(), 200u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(bytes[i * 4], i);
    for (const auto& block : sent) EXPECT_EQ(block.use_count(), 1);  // the buffer let go of every view
    EXPECT_TRUE(buffer.get_data(100).is_empty());
    connect(buffer, nullptr);
}
