#include "audio/audio_node.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Collector : public AudioConsumer {
public:
    void on_data(const AudioBlock& block) override { blocks.push_back(block); }
    std::vector<AudioBlock> blocks;
};

class Source : public AudioPort {
public:
    AudioBlock get_data(int requested_frames) override {
        last_request = requested_frames;
        return AudioBlock(static_cast<std::size_t>(requested_frames) * 2, AudioFormat{1, 16, 8000});
    }
    int last_request = 0;
};

// Doubles the length field by returning a sub-block of half the input: enough to see transform run.
class Halver : public AudioFilter {
protected:
    AudioBlock transform(const AudioBlock& block) override { return block.sub_block(0, block.length() / 2); }
};

}  // namespace

TEST(AudioNode, FeedConnectAndDisconnect) {
    Source source;
    Collector sink;
    feed(source, AudioBlock(10, AudioFormat{1, 16, 8000}));  // unlinked: dropped silently
    EXPECT_EQ(pull(sink, 5).length(), 0u);

    connect(source, &sink);
    EXPECT_EQ(sink.upstream(), &source);
    EXPECT_EQ(source.downstream(), &sink);
    feed(source, AudioBlock(10, AudioFormat{1, 16, 8000}));
    ASSERT_EQ(sink.blocks.size(), 1u);
    EXPECT_EQ(pull(sink, 7).frames(), 7);
    EXPECT_EQ(source.last_request, 7);

    Collector other;
    connect(source, &other);  // relinking clears the old consumer's upstream
    EXPECT_EQ(sink.upstream(), nullptr);
    EXPECT_EQ(other.upstream(), &source);
    connect(source, nullptr);
    EXPECT_EQ(other.upstream(), nullptr);
    EXPECT_EQ(source.downstream(), nullptr);
    feed(source, AudioBlock(10, AudioFormat{1, 16, 8000}));
    EXPECT_EQ(other.blocks.size(), 0u);
}

TEST(AudioNode, FilterTransformsBothDirections) {
    Source source;
    Halver filter;
    Collector sink;
    connect(source, &filter);
    connect(filter, &sink);
    filter.on_data(AudioBlock(40, AudioFormat{1, 16, 8000}));
    ASSERT_EQ(sink.blocks.size(), 1u);
    EXPECT_EQ(sink.blocks[0].length(), 20u);
    AudioBlock pulled = pull(sink, 100);  // source gives 200 bytes, halved
    EXPECT_EQ(pulled.length(), 100u);
    EXPECT_EQ(source.last_request, 100);
}
