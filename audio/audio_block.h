#pragma once
// Blocks of raw samples. Samples live in one heap array (SampleStorage) shared by every block that
// views it, so handing a block to the next node, queueing it or cutting it into sub-blocks never
// copies samples. Blocks cross threads (recorder → buffer thread), hence the atomic count.
//
// The empty block (length 0, format 0/0/0) means "no data now" or "the data has ended" wherever a
// node returns one.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "audio/audio_format.h"

// A reference-counted byte array; freed with its record when the last block lets go.
class SampleStorage {
public:
    // A storage of capacity bytes with a count of 1 held by the caller.
    static SampleStorage* create(std::size_t capacity);
    // The shared capacity-0 storage of empty blocks; never freed.
    static SampleStorage* empty();

    void add_ref() { m_count.fetch_add(1, std::memory_order_relaxed); }
    // Frees the storage when this was the last reference.
    void release();
    int32_t count() const { return m_count.load(std::memory_order_acquire); }

    uint8_t* bytes() { return m_bytes; }
    std::size_t capacity() const { return m_capacity; }

private:
    SampleStorage(uint8_t* bytes, std::size_t capacity) : m_bytes(bytes), m_capacity(capacity) {}
    ~SampleStorage();

    std::atomic<int32_t> m_count{1};
    uint8_t* m_bytes;
    std::size_t m_capacity;
};

class AudioBlock {
public:
    // The empty block.
    AudioBlock();
    // A fresh storage of length bytes (contents undefined) viewed whole.
    AudioBlock(std::size_t length, AudioFormat format);
    // length bytes copied in from the caller's buffer: the one copy a captured sample ever gets.
    AudioBlock(const void* source, std::size_t length, AudioFormat format);

    AudioBlock(const AudioBlock& other);
    AudioBlock(AudioBlock&& other) noexcept;
    AudioBlock& operator=(const AudioBlock& other);
    AudioBlock& operator=(AudioBlock&& other) noexcept;
    ~AudioBlock();

    // Bytes offset .. offset + length of this block, sharing its storage; clamped to the block.
    AudioBlock sub_block(std::size_t offset, std::size_t length) const;

    // Blocks share their samples: writing through data() is seen by every view of the storage.
    uint8_t* data() const { return m_storage->bytes() + m_offset; }
    std::size_t length() const { return m_length; }
    std::size_t offset() const { return m_offset; }
    const AudioFormat& format() const { return m_format; }
    int32_t channels() const { return m_format.channels; }
    int32_t bits() const { return m_format.bits; }
    int32_t rate() const { return m_format.rate; }
    int32_t frames() const { return m_format.frames(m_length); }
    // No bytes to offer (whatever the format).
    bool is_empty() const { return m_length == 0; }
    // How many blocks share the samples; for tests and diagnostics.
    int32_t use_count() const { return m_storage->count(); }
    const SampleStorage* storage() const { return m_storage; }

private:
    SampleStorage* m_storage;  // never null
    std::size_t m_offset = 0;
    std::size_t m_length = 0;
    AudioFormat m_format;
};
