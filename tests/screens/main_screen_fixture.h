#pragma once
// The main screen on the shipped skin with recordings made as short WAV files in main memory or on
// a card under the test's root, and hooks that count the hand-overs to the other screens.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "document/document.h"
#include "os/text.h"
#include "screens/main_screen.h"
#include "tests/screens/screen_fixture.h"

namespace screen_test {

class MainScreenFixture : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        main_folder = os::to_utf8(document->storages().front().path);
        std::filesystem::create_directories(main_folder);
    }
    void TearDown() override {
        m_screen.reset();
        ScreenFixture::TearDown();
    }

    // A short recording file, not yet listed.
    std::string add_file(const std::string& folder, const std::string& name) {
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/" + name + ".wav";
        document_test::write_tone(path, 8000, 0.05);
        m_paths[name] = path;
        return path;
    }
    // A recording file, listed by a new scan.
    std::string add_record(const std::string& folder, const std::string& name) {
        const std::string path = add_file(folder, name);
        document->rescan();
        return path;
    }
    std::u16string path_of(const std::string& name) { return os::from_utf8(m_paths.at(name)); }

    // The recordings folder of a card, made on first use: the last storage.
    std::string card_folder() {
        std::filesystem::create_directories(root.path() + "/cards/SD");
        const std::string folder = os::to_utf8(document->storages().back().path);
        std::filesystem::create_directories(folder);
        return folder;
    }
    // Deleting the folder's recordings fails: a read-only folder, and for root (whom a read-only
    // folder does not stop) each file replaced by a folder of the same name.
    void make_undeletable(const std::string& folder) {
        if (::geteuid() != 0) {
            ::chmod(folder.c_str(), 0555);
            return;
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            const std::string path = entry.path().string();
            std::filesystem::remove(path);
            std::filesystem::create_directories(path + "/kept");
        }
    }
    void allow_deleting(const std::string& folder) { ::chmod(folder.c_str(), 0755); }

    MainScreen& open_screen() {
        MainScreenHooks hooks;
        hooks.show_recording = [this] { ++recording_screens; };
        hooks.show_playback = [this](const RecordEntry& record) {
            ++playbacks;
            played_path = record.path;
        };
        hooks.has_hardware_buttons = [this] { return hardware_buttons; };
        hooks.open_quick_record = [this] { ++quick_records; };
        m_screen = std::make_unique<MainScreen>(*context, std::move(hooks));
        m_screen->show(false);
        frame();
        return *m_screen;
    }

    // The names the list's rows show now.
    std::set<std::u16string> shown_names(MainScreen& screen) {
        frame();
        std::set<std::u16string> names;
        for (int32_t row = 0; row < screen.list().count(); ++row) {
            if (Widget* shown = screen.list().row_for(row)) names.insert(shown->find_child(u"name")->text());
        }
        return names;
    }
    int32_t row_named(MainScreen& screen, std::u16string_view name) {
        frame();
        for (int32_t row = 0; row < screen.list().count(); ++row) {
            Widget* shown = screen.list().row_for(row);
            if (shown && shown->find_child(u"name")->text() == name) return row;
        }
        return -1;
    }

    std::string main_folder;
    int recording_screens = 0;
    int playbacks = 0;
    int quick_records = 0;
    bool hardware_buttons = false;
    std::u16string played_path;

private:
    std::unique_ptr<MainScreen> m_screen;
    std::map<std::string, std::string> m_paths;
};

}  // namespace screen_test
