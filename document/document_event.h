#pragma once
// What the document tells the screens. Events reach every observer on the GUI thread, in the order
// the observers were added.
#include <cstdint>

struct DocumentEvent {
    enum Code : int32_t {
        ListRebuilt = 0,       // parameter 0
        RecordInserted = 1,    // index of the new entry
        RecordDeleted = 2,     // index the deleted record had
        RecordRenamed = 3,     // index of the renamed record
        RecordingStarted = 4,  // index of the new entry
        AppendStarted = 5,
        PausedOrResumed = 6,
        Stopped = 7,
        PhoneStateChanged = 8,  // call state or speakerphone state
        CardProblem = 9,        // "Sorry_card_problem"
        WriterFailed = 10,      // "Sorry_no_memory"
        BufferFailed = 11,      // "Sorry_too_slow_device"
        PlayerFailed = 12,      // "Sorry_no_sound_output": no output device took the playback
        FileGone = 13,          // "Sorry_file_gone": another program deleted the file being recorded
        CaptureLost = 14,       // "Sorry_sound_input_lost": the recording goes on when the input is back
    };
    int32_t code = 0;
    int32_t parameter = 0;
};

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void on_document_event(const DocumentEvent& event) = 0;
};
