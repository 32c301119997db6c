#include "lang/text_keys.h"

namespace lang {

namespace {

// Grouped by where the program shows them; a key used in two places appears once.
constexpr TextKey kKeys[] = {
    // Start-up, the splash screen and platform message boxes.
    {u"skin_ProgramName", u"program name: splash screen, message box captions", u""},
    {u"NoSkins", u"message box when the main skin cannot be loaded", u""},
    // Main screen.
    {u"Find", u"main screen: button opening the search keyboard", u""},
    {u"X", u"main screen: button closing the search", u""},
    {u"Record", u"main screen: button starting a voice note", u""},
    {u"Menu", u"main screen button; caption of the playback menu", u""},
    {u"Menu_MainMemory", u"name of the main-memory storage", u""},
    // The letters on the search keyboard's digit keys (keyboard.txt maps the same letters).
    {u"ABC", u"search keyboard: letters on key 2", u""},
    {u"DEF", u"search keyboard: letters on key 3", u""},
    {u"GHI", u"search keyboard: letters on key 4", u""},
    {u"JKL", u"search keyboard: letters on key 5", u""},
    {u"MNO", u"search keyboard: letters on key 6", u""},
    {u"PQRS", u"search keyboard: letters on key 7", u""},
    {u"TUV", u"search keyboard: letters on key 8", u""},
    {u"WXYZ", u"search keyboard: letters on key 9", u""},
    // Recording and playback screens.
    {u"Recording", u"recording screen: placeholder of the format line", u""},
    {u"VAS", u"recording screen: voice-activation slider", u""},
    {u"Boost", u"recording screen button, boost menu caption, Settings item", u""},
    {u"Speaker", u"speakerphone buttons; Settings item (speakerphone in calls)", u""},
    {u"Pause", u"recording and playback screens", u""},
    {u"Resume", u"recording screen", u""},
    {u"Stop", u"recording screen", u""},
    {u"State_Recording", u"recording screen: state line while the file grows", u""},
    {u"State_Paused", u"recording screen: state line while paused", u""},
    {u"State_Waiting", u"recording screen: state line while voice activation waits for speech", u""},
    {u"On", u"recording screen: speakerphone button while the speaker is on", u""},
    {u"Off", u"recording screen: speakerphone button while the speaker is off", u""},
    {u"Play", u"playback screen", u""},
    {u"Skip", u"playback screen: shorten silences longer than a second", u""},
    {u"Close", u"playback screen; error dialog", u""},
    // Dialogs.
    {u"OK", u"dialog buttons", u""},
    {u"Cancel", u"dialog buttons; last item of every menu", u""},
    {u"Rename", u"rename screen title", u""},
    {u"Confirm_deleting", u"confirmation before deleting the listed recordings", u"%count%"},
    {u"SelectButton", u"quick-record screen: choose a hardware button", u""},
    {u"KeyFree", u"quick-record screen: a key that runs nothing", u""},
    {u"KeyRecords", u"quick-record screen: the key that starts a recording", u""},
    {u"KeyRuns", u"quick-record screen: what a key runs now", u"%shortcut%"},
    {u"Confirm_taking_key", u"quick-record screen: before taking a key that runs something else", u"%key%%shortcut%"},
    // Error events.
    {u"Sorry_card_problem", u"recording stopped: storage card problem", u""},
    {u"Sorry_no_memory", u"recording stopped: no memory or space left", u""},
    {u"Sorry_too_slow_device", u"recording stopped: the device could not keep up", u""},
    {u"Sorry_file_gone", u"recording stopped: another program deleted its file", u""},
    {u"Sorry_settings_damaged", u"at start: the settings file was damaged; what could be read was kept", u""},
    {u"Sorry_settings_not_saved", u"a settings change could not be saved", u""},
    {u"Sorry_cannot_move_files", u"moving recordings to the card failed", u""},
    {u"Sorry_cannot_delete_files", u"some recordings could not be deleted", u""},
    {u"Sorry_cannot_open_file", u"a listed recording cannot be played (moved or deleted)", u""},
    // Main menu.
    {u"MainMenu", u"main menu caption", u""},
    {u"About", u"main menu button", u""},
    {u"Help", u"main menu button", u""},
    {u"Help_link", u"file name of the help page in the help folder", u""},
    {u"Minimize", u"main menu button", u""},
    {u"Exit", u"main menu button", u""},
    {u"File", u"main menu item", u""},
    {u"DeleteFiles", u"File menu: delete the listed recordings", u""},
    {u"Move", u"File menu: move the listed recordings to the card", u""},
    {u"Refresh", u"File menu: scan the folders again", u""},
    {u"Settings", u"main menu item", u""},
    {u"AutoRecord", u"Settings: record calls automatically", u""},
    {u"Format", u"Settings: recording format", u""},
    {u"Mp3Low", u"recording format", u""},
    {u"Mp3Middle", u"recording format", u""},
    {u"Mp3High", u"recording format", u""},
    {u"BoostOff", u"boost menu", u""},
    {u"Boost1", u"boost menu", u""},
    {u"Boost2", u"boost menu", u""},
    {u"Boost3", u"boost menu", u""},
    {u"QuickRecord", u"Settings: hardware button for quick recording", u""},
    {u"Language", u"Settings: language", u""},
    // Playback menu.
    {u"Delete", u"playback menu item; caption of its confirmation", u""},
    {u"Confirm", u"playback menu: confirm deleting", u""},
    {u"Append", u"playback menu: continue this recording", u""},
    {u"Send", u"playback menu: send by e-mail", u""},
    {u"Sorry_cannot_append", u"playback menu: the recording cannot be continued", u""},
    {u"Sorry_cannot_send", u"playback menu: no mail program took the recording", u""},
    // Rows of the main list and its empty line.
    {u"Row_today", u"main list: before the time of a recording made today", u""},
    {u"Row_yesterday", u"main list: date of a recording made yesterday", u""},
    {u"Row_incoming", u"main list: an incoming call's recording", u""},
    {u"Row_outgoing", u"main list: an outgoing call's recording", u""},
    {u"Row_recording", u"main list: in place of the length while the file is being recorded", u""},
    {u"Main_empty", u"main list without recordings: how to make the first", u""},
    {u"Main_no_matches", u"main list when the search finds nothing", u""},
    // The Language menu.
    {u"Language_name", u"Language menu: this language's name in itself", u""},
    // The about card.
    {u"About_what", u"about card: one line on what the program does", u""},
    {u"About_licence", u"about card: before the licence's name", u""},
    {u"About_libraries", u"about card: before the list of libraries", u""},
    {u"Sorry_no_sound_output", u"error overlay: no output device took the playback", u""},
    {u"Sorry_cannot_open_help", u"main menu: no browser showed the help page", u""},
    {u"Sorry_sound_input_lost", u"error overlay: the microphone or sound server was lost while recording", u""},
    {u"Sorry_recording_gone", u"error overlay: the recording a call notification opens is gone", u""},
    // The desktop notification of a call recording (the caller's name or number, and the length).
    {u"Call_recorded", u"notification: a call recorded whole", u"%caller%%length%"},
    {u"Call_recorded_gap", u"notification: a call recorded with a gap (sound server lost)", u"%caller%%length%"},
    {u"Call_stopped_early", u"notification: a call recording a failure ended; %reason% is a Call_why_ text",
     u"%caller%%reason%%length%"},
    {u"Call_why_card", u"notification: why a call recording stopped early", u""},
    {u"Call_why_full", u"notification: why a call recording stopped early", u""},
    {u"Call_why_slow", u"notification: why a call recording stopped early", u""},
    {u"Call_not_recorded", u"notification: an automatic call recording could not start", u"%caller%"},
    {u"Call_open", u"notification: the action that opens the call's recording", u""},
};

}  // namespace

std::span<const TextKey> text_keys() { return kKeys; }

const TextKey* find_text_key(std::u16string_view key) {
    for (const TextKey& entry : kKeys) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

std::vector<std::u16string> missing_keys(const TextTable& entries) {
    std::vector<std::u16string> out;
    for (const TextKey& entry : kKeys) {
        if (entries.find(std::u16string(entry.key)) == entries.end()) out.emplace_back(entry.key);
    }
    return out;
}

std::vector<std::u16string> unknown_keys(const TextTable& entries) {
    std::vector<std::u16string> out;
    for (const auto& [key, value] : entries) {
        if (find_text_key(key) == nullptr) out.push_back(key);
    }
    return out;
}

std::vector<std::u16string> keys_lacking_variables(const TextTable& entries) {
    std::vector<std::u16string> out;
    for (const TextKey& entry : kKeys) {
        if (entry.variables.empty()) continue;
        const auto it = entries.find(std::u16string(entry.key));
        if (it == entries.end()) continue;
        // The variables are listed one after another, each in percent signs.
        std::u16string_view rest = entry.variables;
        while (!rest.empty()) {
            const size_t end = rest.find(u'%', 1);
            const std::u16string_view variable =
                rest.substr(0, end == std::u16string_view::npos ? rest.size() : end + 1);
            rest.remove_prefix(variable.size());
            if (it->second.find(variable) == std::u16string::npos) {
                out.push_back(it->first);
                break;
            }
        }
    }
    return out;
}

}  // namespace lang
