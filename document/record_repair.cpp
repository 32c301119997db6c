#include "document/record_repair.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "audio/mp3/mp3_frame_header.h"
#include "audio/mp3/mp3_info_frame.h"
#include "audio/wav/wav_data_extent.h"
#include "audio/wav/wav_header.h"
#include "os/file.h"
#include "os/file_system.h"

namespace {

constexpr size_t kV1Bytes = 128;
constexpr uint32_t kHasFrames = 1;
constexpr uint32_t kHasBytes = 2;
constexpr size_t kXingBytes = 120;  // tag, flags, frames, bytes, table, quality
constexpr size_t kLameBytes = 36;
// What LAME puts before the signal; the exact figure went with the killed process.
constexpr int kEncoderDelay = 576;

uint32_t get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

int64_t id3v2_end(os::File& file) {
    uint8_t header[10] = {};
    if (!file.seek(0) || file.read(header, 10) != 10 || std::memcmp(header, "ID3", 3) != 0) return 0;
    if ((header[6] | header[7] | header[8] | header[9]) & 0x80) return 0;
    const int64_t size = (int64_t(header[6]) << 21) | (header[7] << 14) | (header[8] << 7) | header[9];
    return 10 + size + ((header[5] & 0x10) ? 10 : 0);
}

bool ends_with(os::File& file, const std::vector<uint8_t>& tail) {
    const int64_t size = file.size();
    if (tail.empty() || size < int64_t(tail.size())) return false;
    std::vector<uint8_t> end(tail.size());
    return file.seek(size - int64_t(tail.size())) && file.read(end.data(), end.size()) == end.size() && end == tail;
}

bool append(os::File& file, const std::vector<uint8_t>& bytes) {
    return bytes.empty() || (file.seek(file.size()) && file.write(bytes.data(), bytes.size()) == bytes.size());
}

size_t side_info_bytes(const Mp3FrameHeader& header) {
    const bool mono = header.channels == 1;
    return header.version == Mp3FrameHeader::Version::mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

// Makes the stream's first frame an info frame that covers `frames` audio frames after it and
// `bytes` in all. False when there is nothing to change.
bool fill_info_frame(std::vector<uint8_t>& first, const Mp3FrameHeader& header, const std::array<uint8_t, 4>& audio,
                     uint32_t frames, uint32_t bytes, uint16_t music_crc) {
    const size_t tag = mp3_info::find_tag(first);
    if (tag != 0) {
        const uint32_t flags = get32(&first[tag + 4]);
        if ((flags & kHasFrames) == 0 || (flags & kHasBytes) == 0) return false;
        const uint32_t had_frames = get32(&first[tag + 8]);
        const uint32_t had_bytes = get32(&first[tag + 12]);
        if (had_frames == frames && had_bytes == bytes) return false;
        // The counts go up or down by the difference (modulo 2^32, as they are stored).
        return mp3_info::extend(first, frames - had_frames, bytes - had_bytes, 0);
    }
    // The place kept for the info frame is a frame of silence: its side information and body are
    // zero. Anything else is audio, which is left as it is.
    const size_t from = 4 + side_info_bytes(header);
    if (first.size() < from + kXingBytes + kLameBytes) return false;
    if (std::any_of(first.begin() + 4, first.end(), [](uint8_t b) { return b != 0; })) return false;
    mp3_info::StreamFacts facts;
    facts.audio_header = audio;
    facts.frames = frames;
    facts.bytes = bytes;
    facts.delay = kEncoderDelay;
    facts.music_crc = music_crc;
    facts.encoder = "LAME3.100";
    const std::vector<uint8_t> made = mp3_info::make_frame(facts);
    if (made.size() == first.size()) {
        first = made;
        return true;
    }
    // LAME's own place holder, at the stream's bit rate: the same tag inside the frame as it is.
    if (made.size() < from + kXingBytes + kLameBytes) return false;
    std::copy(made.begin() + long(from), made.begin() + long(from + kXingBytes + kLameBytes),
              first.begin() + long(from));
    uint8_t* ext = first.data() + from + kXingBytes;
    const uint16_t crc = mp3_info::crc16(0, first.data(), from + kXingBytes + 34);
    ext[34] = static_cast<uint8_t>(crc >> 8);
    ext[35] = static_cast<uint8_t>(crc & 0xFF);
    return true;
}

RepairResult repair_mp3(const std::u16string& path, const std::vector<uint8_t>& tail) {
    os::File file(path, os::File::ReadWrite);
    if (!file.is_open()) return RepairResult::Failed;
    const int64_t start = id3v2_end(file);
    const int64_t size = file.size();
    // A tail the kill did not take off (it came before the writer's first write) stays as it is.
    const bool tail_in_place = ends_with(file, tail);
    const int64_t audio_end_limit = tail_in_place ? size - int64_t(tail.size()) : size;

    // Whole frames of one stream, from the first after the tag.
    Mp3FrameHeader first_header;
    std::array<uint8_t, 4> audio{};
    int64_t at = start;
    uint32_t frames = 0;
    uint16_t music_crc = 0;
    std::vector<uint8_t> frame;
    while (at + 4 <= audio_end_limit) {
        uint8_t bytes[4];
        Mp3FrameHeader header;
        if (!file.seek(at) || file.read(bytes, 4) != 4 || !header.parse(bytes) || header.layer != 3) break;
        if (frames > 0 && !header.matches(first_header)) break;
        if (header.frame_bytes <= 4 || at + header.frame_bytes > audio_end_limit) break;
        if (frames == 0) first_header = header;
        if (frames == 1) std::memcpy(audio.data(), bytes, 4);
        if (frames >= 1) {
            frame.resize(size_t(header.frame_bytes));
            if (!file.seek(at) || file.read(frame.data(), frame.size()) != frame.size()) break;
            music_crc = mp3_info::crc16(music_crc, frame.data(), frame.size());
        }
        ++frames;
        at += header.frame_bytes;
    }
    if (frames <= 1) {
        // The tag and at most the empty place of the info frame: nothing anyone could play.
        file.close();
        return os::delete_file(path) ? RepairResult::Removed : RepairResult::Failed;
    }
    bool changed = false;
    if (at < size && !(tail_in_place && at == audio_end_limit)) {
        // What the kill cut in the middle of a frame, and whatever follows it, cannot be played.
        if (!file.truncate(at)) return RepairResult::Failed;
        changed = true;
    }
    std::vector<uint8_t> first(size_t(first_header.frame_bytes));
    if (!file.seek(start) || file.read(first.data(), first.size()) != first.size()) return RepairResult::Failed;
    if (fill_info_frame(first, first_header, audio, frames - 1, static_cast<uint32_t>(at - start), music_crc)) {
        if (!file.seek(start) || file.write(first.data(), first.size()) != first.size()) return RepairResult::Failed;
        changed = true;
    }
    if (!tail.empty() && !tail_in_place) {
        if (!append(file, tail)) return RepairResult::Failed;
        changed = true;
    }
    if (changed && !file.flush()) return RepairResult::Failed;
    return changed ? RepairResult::Repaired : RepairResult::Untouched;
}

RepairResult repair_wav(const std::u16string& path, WavCodec codec, const std::vector<uint8_t>& tail) {
    os::File file(path, os::File::ReadWrite);
    if (!file.is_open()) return RepairResult::Failed;
    WavHeader header;
    if (file.size() == 0 || !header.read_header(file, codec) || header.block_align == 0) {
        // Killed before the first block: the header, if any, and no audio.
        const bool empty = file.size() <= int64_t(WavHeader::canonical_data_start(codec));
        file.close();
        if (empty) return os::delete_file(path) ? RepairResult::Removed : RepairResult::Failed;
        return RepairResult::Failed;
    }
    const bool tail_in_place = ends_with(file, tail);
    // The data is read as ending where the noted chunks begin.
    const int64_t limit = file.size() - (tail_in_place ? int64_t(tail.size()) : 0);
    // Our recordings end with their data chunk: every whole block up to the end is audio.
    const int64_t present = std::max<int64_t>(0, limit - header.data_start);
    const int64_t units = std::min<int64_t>(present, 0xFFFFFFFEll - header.data_start) / header.block_align;
    if (units == 0) {
        file.close();
        return os::delete_file(path) ? RepairResult::Removed : RepairResult::Failed;
    }
    const auto data_size = static_cast<uint32_t>(units * header.block_align);
    const uint32_t fact = codec == WavCodec::Pcm ? 0 : static_cast<uint32_t>(units * header.samples_per_block);
    const int64_t data_end = int64_t(header.data_start) + data_size;
    const bool cut = data_end != limit;
    const int64_t after = tail_in_place ? int64_t(tail.size()) : 0;
    const bool sizes_right = header.data_size == data_size && (codec == WavCodec::Pcm || header.fact_count == fact) &&
                             int64_t(header.riff_size) == data_end + after - 8;
    if (sizes_right && !cut && (tail.empty() || tail_in_place)) return RepairResult::Untouched;
    if (cut && !file.truncate(data_end)) return RepairResult::Failed;
    header.data_size = data_size;
    header.fact_count = fact;
    if (!header.write_header(file, codec)) return RepairResult::Failed;
    if (!tail.empty() && (cut || !tail_in_place)) {
        const std::vector<uint8_t> pad(data_size & 1, 0);
        if (!append(file, pad) || !append(file, tail)) return RepairResult::Failed;
    }
    // The RIFF size covers the chunks after the data too.
    const int64_t total = file.size();
    const uint32_t riff = static_cast<uint32_t>(std::min<int64_t>(total - 8, 0xFFFFFFFFll));
    const uint8_t riff_bytes[4] = {uint8_t(riff), uint8_t(riff >> 8), uint8_t(riff >> 16), uint8_t(riff >> 24)};
    if (!file.seek(4) || file.write(riff_bytes, 4) != 4 || !file.flush()) return RepairResult::Failed;
    return RepairResult::Repaired;
}

}  // namespace

RepairResult repair_recording(const std::u16string& path, std::u16string_view codec, const std::vector<uint8_t>& tail) {
    if (!os::exists(path)) return RepairResult::Failed;
    if (codec == u"mp3") return repair_mp3(path, tail);
    if (codec == u"PCM") return repair_wav(path, WavCodec::Pcm, tail);
    if (codec == u"ADPCM") return repair_wav(path, WavCodec::Adpcm, tail);
    if (codec == u"GSM") return repair_wav(path, WavCodec::Gsm, tail);
    return RepairResult::Failed;
}

std::vector<uint8_t> bytes_taken_by_append(const std::u16string& path, std::u16string_view codec) {
    os::File file(path, os::File::Read);
    if (!file.is_open()) return {};
    const int64_t size = file.size();
    if (codec == u"mp3") {
        std::vector<uint8_t> tag(kV1Bytes);
        if (size < int64_t(kV1Bytes) || !file.seek(size - int64_t(kV1Bytes)) ||
            file.read(tag.data(), kV1Bytes) != kV1Bytes || std::memcmp(tag.data(), "TAG", 3) != 0) {
            return {};
        }
        return tag;
    }
    const WavCodec wav = codec == u"PCM" ? WavCodec::Pcm : codec == u"ADPCM" ? WavCodec::Adpcm : WavCodec::Gsm;
    WavHeader header;
    if ((codec != u"PCM" && codec != u"ADPCM" && codec != u"GSM") || !header.read_header(file, wav)) return {};
    const int64_t after = chunks_after_data(file, header.data_start, header.data_size);
    if (after < 0) return {};
    std::vector<uint8_t> chunks(static_cast<size_t>(size - after));
    if (!file.seek(after) || file.read(chunks.data(), chunks.size()) != chunks.size()) return {};
    return chunks;
}
