#include "audio/wav/wav_file_writer.h"

#include <algorithm>
#include <mutex>

#include "audio/wav/adpcm_codec.h"
#include "audio/wav/wav_data_extent.h"
#include "os/file_system.h"
#include "os/log.h"

WavFileWriter::WavFileWriter(std::u16string path, bool continue_file, WavCodec codec)
    : m_path(std::move(path)), m_codec(codec), m_header(WavHeader::for_new_file(codec)) {
    if (continue_file && !open_existing()) {
        m_file.close();
        m_valid = false;
    }
}

WavFileWriter::~WavFileWriter() {
    if (!m_file.is_open()) return;
    m_header.write_header(m_file, m_codec);
    if (!m_chunks_after.empty()) {
        // The chunks that followed the data follow it again, on an even position, inside the RIFF size.
        const int64_t end = int64_t(m_header.data_start) + m_header.data_size;
        const uint8_t pad = 0;
        bool ok = m_file.seek(end) && ((m_header.data_size & 1) == 0 || m_file.write(&pad, 1) == 1) &&
                  m_file.write(m_chunks_after.data(), m_chunks_after.size()) == m_chunks_after.size();
        const auto riff = static_cast<uint32_t>(m_file.size() - 8);
        const uint8_t bytes[4] = {uint8_t(riff), uint8_t(riff >> 8), uint8_t(riff >> 16), uint8_t(riff >> 24)};
        ok = ok && m_file.seek(4) && m_file.write(bytes, 4) == 4;
        if (!ok) os::log() << u"WavFileWriter: the chunks after the data could not be put back in " << m_path << u"\n";
    }
    m_file.close();
}

bool WavFileWriter::open_existing() {
    // A missing file is not created: there is nothing to continue.
    if (!os::exists(m_path)) return false;
    {
        // Judge the file read-only first, so a file that is not ours is never opened for writing.
        os::File probe(m_path, os::File::Read);
        WavHeader header;
        if (!probe.is_open() || !header.read_header(probe, m_codec)) return false;
    }
    if (!m_file.open(m_path, os::File::ReadWrite) || !m_header.read_header(m_file, m_codec)) return false;

    int block_align = m_header.block_align;
    if (m_codec == WavCodec::Adpcm) {
        const adpcm::Geometry geometry = adpcm::Geometry::from_block_align(m_header.channels, m_header.block_align);
        if (!geometry.is_valid() || geometry.samples_per_block != m_header.samples_per_block) return false;
    }
    if (block_align <= 0) return false;

    // Chunks after the data (a title in a LIST chunk) are kept aside while the data grows.
    const int64_t after = chunks_after_data(m_file, m_header.data_start, m_header.data_size);
    if (after >= 0) {
        m_chunks_after.resize(static_cast<size_t>(m_file.size() - after));
        if (!m_file.seek(after) || m_file.read(m_chunks_after.data(), m_chunks_after.size()) != m_chunks_after.size()) {
            return false;
        }
    }
    // A file cut short (a crash before the header was final) holds less than its header says:
    // continue after the last whole frame or block that is really there.
    const int64_t file_size = m_file.size();
    const int64_t present = std::max<int64_t>(0, file_size - m_header.data_start);
    const int64_t units = std::min<int64_t>(m_header.data_size, present) / block_align;
    if (units * block_align != m_header.data_size) m_header.data_size = static_cast<uint32_t>(units * block_align);
    // The padding that ended the earlier recording's last block now lies between the two parts,
    // where it plays as a moment of silence: every coded sample counts.
    if (m_codec != WavCodec::Pcm) m_header.fact_count = static_cast<uint32_t>(units * m_header.samples_per_block);
    if (!m_file.truncate(m_header.data_start + m_header.data_size)) return false;
    m_frames_written = m_codec == WavCodec::Pcm ? units : static_cast<int64_t>(m_header.fact_count);
    m_bit_rate = static_cast<int32_t>(m_header.average_bytes_per_second * 8);
    return true;
}

bool WavFileWriter::create_for(const AudioBlock& block) {
    switch (m_codec) {
        case WavCodec::Pcm: {
            m_header.channels = static_cast<uint16_t>(block.channels());
            m_header.bits_per_sample = static_cast<uint16_t>(block.bits());
            m_header.sample_rate = static_cast<uint32_t>(block.rate());
            m_header.block_align = static_cast<uint16_t>(block.format().block_align());
            m_header.average_bytes_per_second = m_header.block_align * m_header.sample_rate;
            break;
        }
        case WavCodec::Adpcm: {
            const adpcm::Geometry geometry = adpcm::Geometry::for_format(block.channels(), block.rate());
            m_header.channels = static_cast<uint16_t>(block.channels());
            m_header.sample_rate = static_cast<uint32_t>(block.rate());
            m_header.block_align = static_cast<uint16_t>(geometry.block_align);
            m_header.samples_per_block = static_cast<uint16_t>(geometry.samples_per_block);
            m_header.average_bytes_per_second =
                static_cast<uint32_t>(int64_t{geometry.block_align} * block.rate() / geometry.samples_per_block);
            break;
        }
        case WavCodec::Gsm:
            break;  // fixed from the start
    }
    m_bit_rate = static_cast<int32_t>(m_header.average_bytes_per_second * 8);
    return m_file.open(m_path, os::File::Write) && m_header.write_header(m_file, m_codec);
}

bool WavFileWriter::matches(const AudioBlock& block) const {
    const int bits = m_codec == WavCodec::Pcm ? m_header.bits_per_sample : m_codec == WavCodec::Adpcm ? 4 : 0;
    if (block.channels() != m_header.channels || block.bits() != bits ||
        block.rate() != static_cast<int32_t>(m_header.sample_rate)) {
        return false;
    }
    if (m_codec == WavCodec::Adpcm) {
        return adpcm::Geometry::for_format(block.channels(), block.rate()).block_align == m_header.block_align;
    }
    return true;
}

AudioBlock WavFileWriter::transform(const AudioBlock& block) {
    if (!m_valid || block.is_empty()) return block;
    if (!m_file.is_open()) {
        if (block.channels() <= 0 || block.rate() <= 0) return block;
        if (m_codec == WavCodec::Pcm && block.bits() != 8 && block.bits() != 16) return block;
        if (!create_for(block)) {
            os::log() << u"WavFileWriter: cannot create " << m_path << u"\n";
            m_file.close();
            os::delete_file(m_path);
            m_valid = false;
            return block;
        }
    }
    if (matches(block)) write(block);
    return block;
}

void WavFileWriter::write(const AudioBlock& block) {
    // The RIFF sizes are 32-bit: a file that would outgrow them ends the recording instead.
    if (uint64_t{m_header.data_start} + m_header.data_size + block.length() > 0xFFFFFFFEu) {
        fail();
        return;
    }
    const size_t written = m_file.write(block.data(), block.length());
    const int64_t units = static_cast<int64_t>(written / m_header.block_align);
    m_header.data_size += static_cast<uint32_t>(units * m_header.block_align);
    if (m_codec == WavCodec::Pcm) {
        m_frames_written += units;
    } else {
        m_header.fact_count += static_cast<uint32_t>(units * m_header.samples_per_block);
        m_frames_written += units * m_header.samples_per_block;
    }
    if (written < block.length()) fail();
}

void WavFileWriter::leave_out_of_count(int64_t frames) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (frames <= 0 || m_codec == WavCodec::Pcm || !m_file.is_open()) return;
    const int64_t removed = std::min<int64_t>(frames, m_header.fact_count);
    m_header.fact_count -= static_cast<uint32_t>(removed);
    m_frames_written -= removed;
}

void WavFileWriter::update_header() {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (!m_file.is_open() || !m_valid) return;
    m_header.write_header(m_file, m_codec);
    m_file.seek(m_header.data_start + m_header.data_size);
}

bool WavFileWriter::sync() {
    std::lock_guard<std::recursive_mutex> guard(lock());
    update_header();
    return m_file.is_open() && m_valid && m_file.flush();
}

void WavFileWriter::fail() {
    // Drop the torn frame and make the header tell the truth now: what was written stays playable
    // even if nothing else of this recording ever reaches the disk.
    m_file.truncate(m_header.data_start + m_header.data_size);
    m_header.write_header(m_file, m_codec);
    m_valid = false;
    os::log() << u"WavFileWriter: short write, recording stopped at " << m_header.data_size << u" bytes\n";
}
