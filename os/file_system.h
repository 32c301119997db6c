#pragma once
// Files and folders by path. Every path is macro-expanded first.
#include <cstdint>
#include <string>
#include <string_view>

#include "os/date_time.h"

namespace os {

// What one directory look-up of a path tells.
struct FileInfo {
    static constexpr uint32_t kMissing = 0xFFFFFFFF;
    static constexpr uint32_t kReadOnly = 0x01;
    static constexpr uint32_t kHidden = 0x02;  // the name begins with "."
    static constexpr uint32_t kFolder = 0x10;
    static constexpr uint32_t kNormal = 0x80;

    FileInfo() = default;
    explicit FileInfo(std::u16string_view path) { look_up(path); }
    // Fills every field again from the path.
    void look_up(std::u16string_view path);

    bool exists() const { return attributes != kMissing; }
    bool is_folder() const { return exists() && (attributes & kFolder) != 0; }

    std::u16string path;  // as given, before expansion
    uint32_t attributes = kMissing;
    uint32_t size = 0;       // the low 32 bits, as the program has always kept it
    uint64_t full_size = 0;  // the whole size, for files past 4 GB
    DateTime creation_time;  // the birth time where the file system keeps one, else the change time
    DateTime last_write_time;
    int error = 0;  // errno of the look-up or of the last operation that stored it here
    // What tells one version of a file from another where size and dates to the millisecond do
    // not: a copy that kept the old modification time is still a new inode or a new change time.
    uint64_t inode = 0;
    int64_t write_ns = 0;   // modification time, nanoseconds since the Unix epoch
    int64_t change_ns = 0;  // status change time, likewise
};

// Creates the folder and every missing folder above it, from the top down, logging
// "CreateDirectoryW {path} result=0|1" for each attempt. True when the folder exists afterwards.
bool create_directory(std::u16string_view path);
// Takes every permission of the group and of others away from a folder of this user's.
bool make_folder_private(std::u16string_view path);
bool delete_file(std::u16string_view path);
// Renames or moves a file or folder; a file moves across volumes by copy and delete. An existing
// target is never replaced. The error (errno) is stored in result when given.
bool move_file(std::u16string_view from, std::u16string_view to, FileInfo* result = nullptr);
// The move across volumes that move_file falls back to, on any two paths: copy under a hidden
// name, made durable, then the name, then the original goes.
bool move_by_copy(std::u16string_view from, std::u16string_view to, FileInfo* result = nullptr);
// Puts a finished file in place of another in one step, keeping the old file's permissions: at any
// moment the target is either the old file or the new one, whole. Both lie in one folder, whose
// entry is made durable before this returns. False (the target untouched) on failure.
bool replace_file(std::u16string_view from, std::u16string_view to);
bool exists(std::u16string_view path);

// The hidden working files our file operations keep beside a file NAME while they run:
// ".NAME.moving" (a copy on its way to another volume), ".NAME.move" (the journal beside a file
// whose copy is taking its name) and ".NAME.retitle" (a file with a new tag on its way).
bool is_leftover(std::u16string_view path);
// Clears what a killed operation left of that kind: a copy that never got its name is removed, and
// a move whose copy got its name whole loses its original. What a running process still holds is
// left alone. True when the path names such a working file, whatever was done with it.
bool tidy_leftover(std::u16string_view path);
// Total bytes of the volume holding the path; 0 on failure.
double volume_size(std::u16string_view path);
// Bytes available to this user on the volume that holds the path (or, while the path does not
// exist yet, its nearest existing folder); 0 on failure.
double root_free_space(std::u16string_view path);

}  // namespace os
