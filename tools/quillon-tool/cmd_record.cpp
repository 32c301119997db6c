// quillon-tool record [--seconds N] [--format F] [--boost B]: records a voice note through the
// Document into the recordings folder, prints the new file's path at once, and stops once the file
// holds N seconds of audio (or N seconds have passed, when voice activation keeps silence out), or
// on Ctrl-C / SIGTERM with the file finished. The file never holds more than N seconds. F is a "Format" text (Mp3Low,
// Mp3Middle, Mp3High) or one of the WAV codecs PCM, ADPCM, GSM; B a "Boost" text. The microphone is QUILLON_AUDIO_IN
// when set.
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {

bool wav_format(const std::string& name, RecordFormat& format) {
    if (name == "PCM") {
        format = RecordFormat{u"PCM", 1, 16, 16000, 256000};
    } else if (name == "ADPCM") {
        format = RecordFormat{u"ADPCM", 1, 16, 22050, 0};
    } else if (name == "GSM") {
        format = RecordFormat{u"GSM", 1, 16, 8000, 13000};
    } else {
        return false;
    }
    return true;
}

int run_record(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = arguments;
    const double seconds = document_tool::seconds_option(args);
    const std::string format = document_tool::take_option(args, "--format");
    const std::string boost = document_tool::take_option(args, "--boost");
    if (!args.empty() || seconds == -2)
        return fail("usage: quillon-tool record [--seconds N] [--format F] [--boost B]");

    document_tool::DocumentSession session;
    Document& document = *session.document;
    if (!format.empty()) {
        RecordFormat wav;
        if (wav_format(format, wav)) {
            document.set_record_format(wav);
        } else if (is_known_format(os::from_utf8(format))) {
            document.set_record_format(record_format_of(os::from_utf8(format)));
        } else {
            return fail("unknown format " + format);
        }
    }
    if (!boost.empty()) {
        if (!is_known_boost(os::from_utf8(boost))) return fail("unknown boost " + boost);
        document.set_boost(os::from_utf8(boost));
    }
    if (seconds >= 0) document.duration().set_limit(seconds);
    if (!document.record(false, u"", u"", call_direction_none)) return fail("the recording could not start");
    document_tool::print_line(document.current_record().path);
    // N seconds of audio in the file: a microphone that is not paced in real time
    // (QUILLON_AUDIO_PACE=0) delivers them long before N seconds of the clock have passed.
    session.run(seconds,
                [&] { return document.is_recording() && (seconds < 0 || document.duration().total() < seconds); });
    document.stop();
    if (session.events.error) return fail("the recording ended with error " + std::to_string(session.events.error));
    return 0;
}

const ToolCommand command{"record", "[--seconds N] [--format F] [--boost B]",
                          "record a voice note through the Document and print its path", &run_record};
}  // namespace
