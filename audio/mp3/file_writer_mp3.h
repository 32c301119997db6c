#pragma once
// The MP3 file writer: the last node of an MP3 recording. It gathers encoded bytes in a 16 KB
// buffer so the storage card sees few, large writes. In append mode it adds to a file that already
// holds the ID3 tag (or an earlier recording); otherwise it creates the file, and a created file
// that never got a byte is deleted again when the writer closes. A file that ends in an ID3v1 tag
// ("TAG" and 125 bytes) is continued before the tag, which goes back at the end when the writer
// closes, so readers still find it there.
//
// on_data runs on the ActiveBuffer's thread under the node's lock; is_valid may be read from any
// thread. Destruction writes what is buffered and closes the file.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_node.h"
#include "os/file.h"

class FileWriterMP3 : public AudioConsumer {
public:
    static constexpr size_t kBufferBytes = 16384;

    FileWriterMP3(std::u16string path, bool append);
    ~FileWriterMP3() override;

    void on_data(const AudioBlock& block) override;
    bool is_valid() const { return m_valid.load(); }
    // Writes what the buffer holds now, so a recording that is cut off (the process killed) keeps
    // everything up to this moment. Any thread; takes the node's lock.
    void flush();
    // flush, then makes the file's data durable. Slow on a slow card: for the thread that writes
    // (the ActiveBuffer's), never the capture thread.
    bool sync();
    // Writes what is buffered, then `count` bytes at `position` (over what is there), and goes
    // back to the end. For the owner, between blocks.
    bool write_at(int64_t position, const uint8_t* bytes, size_t count);
    // Reads from a file opened for appending; fewer bytes at its end.
    size_t read_at(int64_t position, uint8_t* bytes, size_t count);
    // The file's size when the writer opened it.
    int64_t initial_size() const { return m_initial_size; }
    int64_t bytes_received() const { return m_bytes_received.load(); }
    const std::u16string& path() const { return m_path; }

private:
    void take_trailing_tag();
    bool write_out(const uint8_t* bytes, size_t count);

    std::u16string m_path;
    bool m_append;
    os::File m_file;
    std::atomic<bool> m_valid{false};
    std::vector<uint8_t> m_buffer;
    size_t m_fill = 0;
    std::atomic<int64_t> m_bytes_received{0};
    int m_last_error = 0;
    int64_t m_initial_size = 0;
    std::vector<uint8_t> m_trailing_tag;  // the ID3v1 tag taken off the end, written back at close
};
