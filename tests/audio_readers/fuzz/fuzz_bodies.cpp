#include "tests/audio_readers/fuzz/fuzz_bodies.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "audio/mp3/id3_reader.h"
#include "audio/readers/file_reader.h"
#include "audio/stream/input_file.h"
#include "audio/tags/file_tags.h"
#include "os/text.h"

namespace {

// The bytes as a file in memory, reachable by a path as every reader wants one.
class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) {
        m_descriptor = ::memfd_create("quillon-fuzz", MFD_CLOEXEC);
        if (m_descriptor < 0) return;
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(m_descriptor, data + done, size - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    }
    ~MemoryFile() {
        if (m_descriptor >= 0) ::close(m_descriptor);
    }
    std::u16string path() const { return os::from_utf8("/proc/self/fd/" + std::to_string(m_descriptor)); }
    bool ok() const { return m_descriptor >= 0; }

private:
    int m_descriptor = -1;
};

// Enough pulls to walk every file the fuzzer makes; a reader that never ends is caught by the cap.
constexpr int max_pulls = 4000;

}  // namespace

void fuzz_factory(const std::uint8_t* data, std::size_t size) {
    MemoryFile file(data, size);
    if (!file.ok()) return;
    std::unique_ptr<FileReader> reader = FileReader::open(file.path());
    if (!reader) return;
    StreamInfo& info = reader->info();
    (void)info.duration();
    auto play = [&](int pulls) {
        for (int i = 0; i < pulls; ++i) {
            if (reader->output().get_data(16384).is_empty()) break;
        }
    };
    play(max_pulls);
    // Seeks as the playback screen makes them: into the middle, to 9 seconds, to the end and past
    // it (a header may promise more than a cut file holds), and back to the start; each must end
    // promptly and leave a reader that plays on or stops.
    const std::int64_t length = info.length();
    for (const std::int64_t target :
         {length / 3, info.position_of_time(9.0), length, length + 1, length * 2 / 3, std::int64_t{0}}) {
        reader->seek(target);
        (void)info.position();
        play(64);
    }
    play(max_pulls);
}

void fuzz_id3(const std::uint8_t* data, std::size_t size) {
    MemoryFile file(data, size);
    if (!file.ok()) return;
    InputFile input(file.path());
    Id3v2Tag tag = read_id3v2(input);
    for (const Id3Frame& frame : tag.frames) (void)decode_id3_text(frame.body.data(), frame.body.size());
    (void)read_id3v1(input);
    (void)read_record_tags(file.path());
    // The same bytes through the tag library, as the record list reads every file.
    (void)read_file_tags(file.path());
    (void)has_foreign_tags(file.path());
}
