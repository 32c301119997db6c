#include "audio/wav/block_collector.h"

#include <algorithm>
#include <cstring>
#include <mutex>

void BlockCollector::on_data(const AudioBlock& block) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (block.is_empty()) return;
    if (m_block_bytes == 0) {
        const size_t bytes = pcm_block_bytes(block.format());
        if (bytes == 0) return;
        m_format = block.format();
        m_block_bytes = bytes;
        m_accumulator = AudioBlock(bytes, m_format);
        m_fill = 0;
    }
    if (block.format() != m_format) return;

    size_t position = 0;
    while (position < block.length()) {
        const size_t remaining = block.length() - position;
        AudioBlock coded;
        if (m_fill == 0 && remaining >= m_block_bytes) {
            // Whole codec blocks inside the incoming block are coded in place, without a copy.
            coded = transform(block.sub_block(position, m_block_bytes));
            position += m_block_bytes;
        } else {
            const size_t take = std::min(remaining, m_block_bytes - m_fill);
            std::memcpy(m_accumulator.data() + m_fill, block.data() + position, take);
            m_fill += take;
            position += take;
            if (m_fill < m_block_bytes) break;
            m_fill = 0;
            coded = transform(m_accumulator);
        }
        if (!coded.is_empty()) feed(*this, coded);
    }
}

int64_t BlockCollector::finish() {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (m_block_bytes == 0 || m_fill == 0) return 0;
    const size_t frame_bytes = static_cast<size_t>(m_format.block_align());
    if (frame_bytes == 0) return 0;
    std::memset(m_accumulator.data() + m_fill, 0, m_block_bytes - m_fill);
    const int64_t padding = static_cast<int64_t>((m_block_bytes - m_fill) / frame_bytes);
    m_fill = 0;
    const AudioBlock coded = transform(m_accumulator);
    if (coded.is_empty()) return 0;
    feed(*this, coded);
    return padding;
}
