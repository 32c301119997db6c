#include "audio/audio_block.h"

#include <algorithm>
#include <cstring>
#include <new>

SampleStorage* SampleStorage::create(std::size_t capacity) {
    if (capacity == 0) {
        SampleStorage* shared = empty();
        shared->add_ref();
        return shared;
    }
    auto* bytes = new uint8_t[capacity];
    return new SampleStorage(bytes, capacity);
}

SampleStorage* SampleStorage::empty() {
    // Deliberately leaked: empty blocks may still be destroyed during static destruction.
    static SampleStorage* const shared = new SampleStorage(nullptr, 0);
    return shared;
}

void SampleStorage::release() {
    if (m_count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        if (this == empty()) {  // the shared empty storage is never freed
            m_count.store(1, std::memory_order_relaxed);
            return;
        }
        delete this;
    }
}

SampleStorage::~SampleStorage() { delete[] m_bytes; }

AudioBlock::AudioBlock() : m_storage(SampleStorage::empty()) { m_storage->add_ref(); }

AudioBlock::AudioBlock(std::size_t length, AudioFormat format)
    : m_storage(SampleStorage::create(length)), m_length(length), m_format(format) {}

AudioBlock::AudioBlock(const void* source, std::size_t length, AudioFormat format) : AudioBlock(length, format) {
    if (length > 0) std::memcpy(m_storage->bytes(), source, length);
}

AudioBlock::AudioBlock(const AudioBlock& other)
    : m_storage(other.m_storage), m_offset(other.m_offset), m_length(other.m_length), m_format(other.m_format) {
    m_storage->add_ref();
}

AudioBlock::AudioBlock(AudioBlock&& other) noexcept
    : m_storage(other.m_storage), m_offset(other.m_offset), m_length(other.m_length), m_format(other.m_format) {
    // The moved-from block becomes the empty block, so it still owns a reference to release.
    other.m_storage = SampleStorage::empty();
    other.m_storage->add_ref();
    other.m_offset = 0;
    other.m_length = 0;
    other.m_format = AudioFormat{};
}

AudioBlock& AudioBlock::operator=(const AudioBlock& other) {
    if (this != &other) {
        other.m_storage->add_ref();
        m_storage->release();
        m_storage = other.m_storage;
        m_offset = other.m_offset;
        m_length = other.m_length;
        m_format = other.m_format;
    }
    return *this;
}

AudioBlock& AudioBlock::operator=(AudioBlock&& other) noexcept {
    if (this != &other) {
        std::swap(m_storage, other.m_storage);
        std::swap(m_offset, other.m_offset);
        std::swap(m_length, other.m_length);
        std::swap(m_format, other.m_format);
    }
    return *this;
}

AudioBlock::~AudioBlock() { m_storage->release(); }

AudioBlock AudioBlock::sub_block(std::size_t offset, std::size_t length) const {
    AudioBlock part(*this);
    offset = std::min(offset, m_length);
    part.m_offset = m_offset + offset;
    part.m_length = std::min(length, m_length - offset);
    return part;
}
