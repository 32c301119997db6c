#pragma once
// The collector in front of a block codec: it cuts the incoming PCM into whole codec blocks, runs
// the codec's transform on each and feeds the coded block downstream. Blocks of another format than
// the first usable one are ignored. A partly filled block left at the end is padded with silence by
// finish(), as sox does, so the last moments of a recording are kept; the writer's "fact" count
// leaves the padding out.
//
// Runs on the pushing thread under the node's lock, like every on_data.
#include <cstddef>
#include <cstdint>

#include "audio/audio_node.h"

class BlockCollector : public AudioFilter {
public:
    void on_data(const AudioBlock& block) override;
    // Codes the partly filled block, padded with silence, and feeds it on. Returns the frames of
    // padding (0 when no block was pending).
    int64_t finish();

protected:
    // Bytes of PCM in one codec block of this format; 0 when the codec cannot take the format.
    virtual size_t pcm_block_bytes(const AudioFormat& format) const = 0;

private:
    AudioFormat m_format;
    size_t m_block_bytes = 0;
    AudioBlock m_accumulator;
    size_t m_fill = 0;
};
