#pragma once
// One open file. The path is macro-expanded first. Every mode lets other programs read the file
// meanwhile and hints that access is random.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace os {

class File {
public:
    enum Mode : int {
        Read = 0,       // read, the file must exist
        Write = 1,      // write, created or truncated
        Append = 2,     // write, created if missing, positioned at the end
        ReadWrite = 3,  // read and write, created if missing
    };

    File() = default;
    File(std::u16string_view path, int mode) { open(path, mode); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : m_handle(other.m_handle) { other.m_handle = -1; }
    File& operator=(File&& other) noexcept;
    ~File() { close(); }

    // Closes a file already open first. In append mode a file that cannot be positioned at its
    // end is closed again and the call fails.
    bool open(std::u16string_view path, int mode);
    bool is_open() const { return m_handle >= 0; }
    // -1 when not open.
    int64_t size() const;
    bool seek(int64_t position);
    // The current position; -1 when not open.
    int64_t tell() const;
    // Moves by delta from the current position and returns how far the position really moved.
    int64_t skip(int64_t delta);
    // The bytes read: fewer than asked at the end of the file, 0 on failure.
    size_t read(void* data, size_t bytes);
    // The bytes written: fewer than asked only on failure (a full disk).
    size_t write(const void* data, size_t bytes);
    // Pushes the written data to the storage medium (fdatasync, through sync_function()). May
    // take long on a slow card: never on a capture thread.
    bool flush();
    // Cuts (or extends) the file at the position and leaves the position there.
    bool truncate(int64_t position);
    // Takes the file's exclusive advisory lock without waiting; it goes with the handle (and with a
    // killed process), so whoever tidies up can tell a working file in use from one left behind.
    bool try_lock();
    // Makes the file readable and writable by its owner alone.
    bool make_private();
    void close();

private:
    int m_handle = -1;
};

// Opens a data file (a skin, a picture) for reading with stdio, without waiting and only when it
// is a regular file: a FIFO or a device in its place is refused at once. Null on failure.
std::FILE* open_data_file(std::u16string_view path);

// The call that makes a file's data durable: fdatasync for files, fsync for folders. Tests put a
// counting one in its place; null brings the real ones back.
using SyncFunction = int (*)(int descriptor, bool is_folder);
void set_sync_function(SyncFunction function);
// Makes the folder's entries durable (a file created in it survives a power cut). Same caution
// as File::flush.
bool sync_folder(std::u16string_view path);

}  // namespace os
