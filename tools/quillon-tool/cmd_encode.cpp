// quillon-tool encode: records a PCM WAV file through the same chain the microphone feeds
// (boost → level → duration → ActiveBuffer → writer of the codec), so the real recording path can
// be exercised and measured without a sound card.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "audio/active_buffer.h"
#include "audio/boost_filter.h"
#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "audio/mp3/id3_tag.h"
#include "audio/mp3/mp3_writer.h"
#include "audio/wav/codec_wav_writer.h"
#include "audio/wav/wav_file_writer.h"
#include "audio/wav/wav_header.h"
#include "os/event.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "tools/quillon-tool/command.h"

namespace {

struct Options {
    std::string input;
    std::string output;
    std::string codec;
    std::string format = "Mp3Middle";
    std::string boost = "BoostOff";
    bool append = false;
    std::vector<std::pair<std::string, std::string>> tags;
    std::string picture;
};

// The source end of the chain: what the recorder's port is in the application.
class InputPort : public AudioPort {
public:
    AudioBlock get_data(int) override { return AudioBlock(); }
};

// The writer of each codec behind one face: the consumer the buffer feeds and its validity.
struct Writer {
    std::unique_ptr<AudioConsumer> node;
    bool (*valid)(AudioConsumer&) = nullptr;
    bool is_valid() { return valid(*node); }
};

int32_t mp3_bit_rate(const std::string& format) {
    if (format == "Mp3Low") return 32000;
    if (format == "Mp3Middle") return 64000;
    if (format == "Mp3High") return 96000;
    return 0;
}

int boost_factor(const std::string& boost) {
    if (boost == "BoostOff") return 1;
    if (boost == "Boost1") return 2;
    if (boost == "Boost2") return 4;
    if (boost == "Boost3") return 8;
    return 0;
}

std::string parse(const std::vector<std::string>& args, Options& options) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == "--append") {
            options.append = true;
        } else if (arg == "--codec" || arg == "--format" || arg == "--boost" || arg == "--tag" || arg == "--picture") {
            if (!has_value) return arg + " needs a value";
            const std::string& value = args[++i];
            if (arg == "--codec") options.codec = value;
            if (arg == "--format") options.format = value;
            if (arg == "--boost") options.boost = value;
            if (arg == "--picture") options.picture = value;
            if (arg == "--tag") {
                const size_t equals = value.find('=');
                const std::string id = value.substr(0, equals);
                const bool id_ok = equals == 4 && std::all_of(id.begin(), id.end(), [](char c) {
                                       return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
                                   });
                if (!id_ok) return "--tag takes FRAME=TEXT with a four-character frame id such as TIT2";
                options.tags.emplace_back(id, value.substr(equals + 1));
            }
        } else if (arg.rfind("--", 0) == 0) {
            return "unknown option " + arg;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return "usage: encode IN.wav OUT --codec mp3|PCM|ADPCM|GSM [options]";
    options.input = positional[0];
    options.output = positional[1];
    if (options.codec != "mp3" && options.codec != "PCM" && options.codec != "ADPCM" && options.codec != "GSM") {
        return "--codec must be mp3, PCM, ADPCM or GSM";
    }
    if (mp3_bit_rate(options.format) == 0) return "--format must be Mp3Low, Mp3Middle or Mp3High";
    if (boost_factor(options.boost) == 0) return "--boost must be BoostOff, Boost1, Boost2 or Boost3";
    return "";
}

std::string describe(const WavHeader& h) {
    return std::to_string(h.sample_rate) + " Hz " + std::to_string(h.bits_per_sample) + "-bit " +
           (h.channels == 1 ? std::string("mono") : std::to_string(h.channels) + " channels");
}

// Why the codec cannot take this input; empty when it can.
std::string refuse(const std::string& codec, const WavHeader& h) {
    if (codec == "GSM" && (h.sample_rate != 8000 || h.bits_per_sample != 16 || h.channels != 1)) {
        return "GSM takes only 8000 Hz 16-bit mono input, not " + describe(h);
    }
    if ((codec == "ADPCM" || codec == "mp3") && (h.bits_per_sample != 16 || h.channels > 2)) {
        return codec + " takes only 16-bit mono or stereo input, not " + describe(h);
    }
    return "";
}

bool looks_like_mp3(const std::u16string& path) {
    os::File file(path, os::File::Read);
    uint8_t head[3] = {};
    if (file.read(head, 3) != 3) return false;
    return (head[0] == 'I' && head[1] == 'D' && head[2] == '3') || (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0);
}

std::string two_digits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// The tag a new recording starts with, as the recorder writes it, plus the user's frames.
std::string write_new_tag(const Options& options, const std::u16string& output) {
    Id3Tag tag;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    tag.set_text("TIT2", os::title_of(output));
    tag.set_text("TALB", u"Record");
    tag.set_text("TCON", u"Quillon Touch");
    tag.set_text("TYER", os::from_utf8(std::to_string(local.tm_year + 1900)));
    tag.set_text("TDAT", os::from_utf8(two_digits(local.tm_mday) + two_digits(local.tm_mon + 1)));
    for (const auto& [id, text] : options.tags) {
        // A comment has a language and a description before its text; the other frames are text.
        if (id == "COMM") {
            tag.set_comment(os::from_utf8(text));
        } else {
            tag.set_text(id, os::from_utf8(text));
        }
    }
    if (!options.picture.empty()) {
        std::ifstream in(options.picture, std::ios::binary);
        if (!in) return "cannot read picture " + options.picture;
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        tag.set_picture(bytes);
    }
    os::File file(output, os::File::Write);
    if (!file.is_open()) return "cannot create " + os::to_utf8(output);
    if (!tag.write(file)) return "cannot write the ID3 tag to " + os::to_utf8(output);
    return "";
}

int run_encode(const std::vector<std::string>& args) {
    Options options;
    if (const std::string error = parse(args, options); !error.empty()) return fail(error);
    const std::u16string input = os::from_utf8(options.input);
    const std::u16string output = os::expand_path(os::from_utf8(options.output));

    os::File in(input, os::File::Read);
    if (!in.is_open()) return fail("cannot open " + options.input);
    WavHeader source;
    if (!source.read_header(in, WavCodec::Pcm)) return fail(options.input + " is not a PCM WAV file");
    if (const std::string reason = refuse(options.codec, source); !reason.empty()) return fail(reason);

    const bool existed = os::exists(output);
    if (options.append && !existed) return fail("cannot continue " + options.output + ": it does not exist");
    Writer writer;
    if (options.codec == "mp3") {
        if (options.append && !looks_like_mp3(output)) {
            return fail("cannot continue " + options.output + ": it is not an MP3 file");
        }
        if (!options.append) {
            if (const std::string error = write_new_tag(options, output); !error.empty()) {
                os::delete_file(output);
                return fail(error);
            }
        }
        writer.node = std::make_unique<Mp3Writer>(output, true, mp3_bit_rate(options.format));
        writer.valid = [](AudioConsumer& node) { return static_cast<Mp3Writer&>(node).is_valid(); };
    } else if (options.codec == "PCM") {
        writer.node = std::make_unique<WavFileWriter>(output, options.append, WavCodec::Pcm);
        writer.valid = [](AudioConsumer& node) { return static_cast<WavFileWriter&>(node).is_valid(); };
    } else {
        writer.node = options.codec == "GSM" ? CodecWavWriter::create_gsm(output, options.append)
                                             : CodecWavWriter::create_adpcm(output, options.append);
        writer.valid = [](AudioConsumer& node) { return static_cast<CodecWavWriter&>(node).is_valid(); };
    }
    if (!writer.is_valid()) {
        writer.node.reset();
        if (!options.append) os::delete_file(output);
        return fail("cannot " + std::string(options.append ? "continue " : "create ") + options.output +
                    (options.append ? ": it is not a valid " + options.codec + " WAV file" : ""));
    }

    InputPort port;
    BoostFilter boost;
    LevelFilter level;
    DurationFilter duration;
    ActiveBuffer buffer;
    boost.set_boost(boost_factor(options.boost));
    connect(port, &boost);
    connect(boost, &level);
    connect(level, &duration);
    connect(duration, &buffer);
    connect(buffer, writer.node.get());

    // 200 ms blocks, as the recorder delivers them.
    const AudioFormat format{source.channels, source.bits_per_sample, static_cast<int32_t>(source.sample_rate)};
    const size_t block_bytes =
        static_cast<size_t>(format.byte_rate() / 5 / format.block_align()) * format.block_align();
    std::vector<uint8_t> chunk(block_bytes);
    uint32_t left = source.data_size;
    bool short_input = false;
    while (left > 0 && buffer.is_valid()) {
        const size_t want = std::min<size_t>(left, block_bytes);
        const size_t got = in.read(chunk.data(), want);
        const size_t whole = got / format.block_align() * format.block_align();
        if (whole > 0) feed(port, AudioBlock(chunk.data(), whole, format));
        if (got < want) {
            short_input = true;  // a header that promises more than the file holds
            break;
        }
        left -= static_cast<uint32_t>(want);
        // Keep the queue within what a live recording would hold, so memory stays bounded.
        while (buffer.queued_bytes() > 4'000'000) sleep_seconds(0.001);
    }
    // The end of the input: the boost lets go of the samples it holds back, boosted as a recording
    // that stops does.
    boost.flush();
    while (buffer.queued_blocks() > 0) sleep_seconds(0.01);
    const bool buffer_valid = buffer.is_valid();
    connect(buffer, nullptr);
    connect(port, nullptr);
    const bool valid = writer.is_valid();
    writer.node.reset();  // the file is complete here: header, flushed frames, info frame

    if (!buffer_valid || !valid) {
        if (!options.append) os::delete_file(output);
        return fail(options.append ? "writing " + options.output + " failed; what was written before stays"
                                   : "writing " + options.output + " failed (disk full?); nothing was kept");
    }
    std::printf("{\"output\": \"%s\", \"codec\": \"%s\", \"seconds\": %.3f%s}\n", options.output.c_str(),
                options.codec.c_str(), duration.total(), short_input ? ", \"input\": \"truncated\"" : "");
    return 0;
}

const ToolCommand command{"encode",
                          "IN.wav OUT --codec mp3|PCM|ADPCM|GSM [--format Mp3Low|Mp3Middle|Mp3High] "
                          "[--boost BoostOff|Boost1|Boost2|Boost3] [--append] [--tag FRAME=TEXT]... [--picture FILE]",
                          "record a PCM WAV file through the recording chain into a new or continued file",
                          &run_encode};

}  // namespace
