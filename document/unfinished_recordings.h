#pragma once
// Which recordings are being written, kept where the next start finds them. A recording leaves a
// note in a private folder of the user's data before its writer touches the file, holds the note's
// lock while it runs and removes the note when its writer has closed the file. A note whose lock no
// one holds belongs to a recording that was killed: the next start repairs that file
// (record_repair.h) and drops the note, so each killed recording is repaired once.
#include <memory>
#include <string>
#include <vector>

#include "os/file.h"

class UnfinishedRecording {
public:
    // Null when the note cannot be written (the recording still runs, without the safety net).
    // tail: the bytes at the file's end the writer is going to take off for a while.
    static std::unique_ptr<UnfinishedRecording> begin(const std::u16string& path, std::u16string_view codec,
                                                      const std::vector<uint8_t>& tail);
    // The writer closed the file: the note goes.
    ~UnfinishedRecording();
    UnfinishedRecording(const UnfinishedRecording&) = delete;
    UnfinishedRecording& operator=(const UnfinishedRecording&) = delete;

    // The recording got a new name while it runs.
    void renamed(const std::u16string& path);

private:
    UnfinishedRecording() = default;
    bool write_note();

    os::File m_note;
    std::u16string m_note_path;
    std::u16string m_path;
    std::u16string m_codec;
    std::vector<uint8_t> m_tail;
};

// Repairs the files of every killed recording and drops their notes; logs each. Returns how many
// files were repaired or removed.
int heal_unfinished_recordings();

// The folder of the notes.
std::u16string unfinished_folder();
