#include "os/registry.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "os/text.h"
#include "tests/os/temp_root.h"

extern char** environ;

namespace {

const std::u16string kSettings = std::u16string(kKorvel) + u"\\Quillon Touch";

// Looks into the database with a connection of its own, as another program would.
int count_rows(const std::string& database, const char* sql) {
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            count = sqlite3_column_int(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

std::vector<std::string> damaged_copies(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("registry.db.damaged-", 0) == 0 && name.find("-wal") == std::string::npos &&
            name.find("-shm") == std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

}  // namespace

TEST(Registry, ValuesKeepTheirTypesAndReadsFollowThePlatformRules) {
    TempRoot root;
    EXPECT_EQ(os::reg_database_path(), root.text() + u"/registry.db");

    ASSERT_TRUE(os::reg_write_string(kSettings, u"Path", u"\\Storage Card\\Zoë"));
    ASSERT_TRUE(os::reg_write_dword(kSettings, u"Format", 3));
    ASSERT_TRUE(os::reg_write_string(kSettings, u"Empty", u""));
    ASSERT_TRUE(os::reg_write_dword(kSettings, u"Max", 0xFFFFFFFFu));

    std::u16string text = u"unchanged";
    EXPECT_TRUE(os::reg_read_string(kSettings, u"Path", text));
    EXPECT_EQ(text, u"\\Storage Card\\Zoë");
    EXPECT_TRUE(os::reg_read_string(kSettings, u"Empty", text));
    EXPECT_EQ(text, u"");

    // A DWORD read as a text is absent and leaves the text alone; so is a text read as a DWORD.
    text = u"unchanged";
    EXPECT_FALSE(os::reg_read_string(kSettings, u"Format", text));
    EXPECT_EQ(text, u"unchanged");
    uint32_t number = 77;
    EXPECT_FALSE(os::reg_read_dword(kSettings, u"Path", number));
    EXPECT_EQ(number, 77u);
    EXPECT_TRUE(os::reg_read_dword(kSettings, u"Max", number));
    EXPECT_EQ(number, 0xFFFFFFFFu);
    uint8_t flag = 9;
    EXPECT_TRUE(os::reg_read_bool(kSettings, u"Format", flag));
    EXPECT_EQ(flag, 1);
    EXPECT_FALSE(os::reg_read_bool(kSettings, u"Missing", flag));

    // Names match without regard to case; a later write may change the type.
    EXPECT_TRUE(os::reg_read_dword(u"HKEY_CURRENT_USER\\software\\KORVEL\\quillon touch", u"FORMAT", number));
    EXPECT_EQ(number, 3u);
    ASSERT_TRUE(os::reg_write_string(kSettings, u"Format", u"now a text"));
    EXPECT_FALSE(os::reg_read_dword(kSettings, u"Format", number));

    // Hives are separate, and a trailing separator names the same key.
    EXPECT_FALSE(os::reg_read_string(u"HKEY_LOCAL_MACHINE\\Software\\Korvel\\Quillon Touch", u"Path", text));
    EXPECT_TRUE(os::reg_read_string(kSettings + u"\\", u"Path", text));

    EXPECT_TRUE(os::reg_delete_value(kSettings, u"Path"));
    EXPECT_FALSE(os::reg_read_string(kSettings, u"Path", text));
    EXPECT_FALSE(os::reg_delete_value(kSettings, u"Path"));
}

TEST(Registry, UnknownRootsFailAndReadsCreateMissingKeys) {
    TempRoot root;
    uint32_t number = 0;
    for (const char16_t* key : {u"HKEY_CURRENT_CONFIG\\Software", u"HKEY_USERSX\\Software", u"Software\\Korvel", u"",
                                u"hkey_current_user\\Software"}) {
        EXPECT_FALSE(os::reg_write_dword(key, u"Log", 1)) << os::to_utf8(key);
        EXPECT_FALSE(os::reg_read_dword(key, u"Log", number)) << os::to_utf8(key);
        EXPECT_FALSE(os::reg_flush(key)) << os::to_utf8(key);
    }
    EXPECT_TRUE(os::reg_write_dword(u"HKEY_USERS", u"AtTheRoot", 5));
    EXPECT_TRUE(os::reg_read_dword(u"HKEY_USERS", u"AtTheRoot", number));
    EXPECT_EQ(number, 5u);

    std::u16string text;
    EXPECT_FALSE(os::reg_read_string(u"HKEY_CURRENT_USER\\Software\\New\\Deeper", u"Anything", text));
    ASSERT_TRUE(os::reg_flush(u"HKEY_CURRENT_USER\\Software"));
    const std::string database = root.path() + "/registry.db";
    EXPECT_EQ(count_rows(database, "SELECT count(*) FROM keys WHERE hive=3 AND path='Software\\New\\Deeper'"), 1);
    EXPECT_EQ(count_rows(database, "SELECT count(*) FROM keys WHERE hive=3 AND path='Software\\New'"), 1);
    EXPECT_EQ(count_rows(database, "SELECT count(*) FROM key_values"), 1);
}

TEST(Registry, ASecondProcessWritesWhileThisOneReadsAndWrites) {
    TempRoot root;
    const std::u16string phone = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
    ASSERT_TRUE(os::reg_write_dword(phone, u"Counter", 0));

    const int count = 300;
    std::string program = QUILLON_REGISTRY_WRITER;
    std::string argument = std::to_string(count);
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);

    uint32_t last = 0;
    int reads = 0;
    int status = 0;
    for (uint32_t mine = 1;; ++mine) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        uint32_t seen = 0;
        ASSERT_TRUE(os::reg_read_dword(phone, u"Counter", seen));
        EXPECT_GE(seen, last);  // commits arrive whole and in order
        last = seen;
        ++reads;
        ASSERT_TRUE(os::reg_write_dword(kSettings, u"Mine", mine));
        if (done == child) break;
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process could not write";
    uint32_t final_value = 0;
    ASSERT_TRUE(os::reg_read_dword(phone, u"Counter", final_value));
    EXPECT_EQ(final_value, static_cast<uint32_t>(count));
    std::u16string name;
    EXPECT_TRUE(os::reg_read_string(phone, u"Caller Name", name));
    EXPECT_EQ(name, u"Zoë");
    EXPECT_GT(reads, 1);
}

TEST(Registry, ADamagedDatabaseIsKeptAsideAndReplaced) {
    TempRoot root;
    const std::string database = root.path() + "/registry.db";
    const std::string garbage(8192, 'x');
    write_bytes(database, garbage);

    testing::internal::CaptureStderr();
    uint32_t number = 42;
    EXPECT_FALSE(os::reg_read_dword(kKorvel, u"Log", number));
    EXPECT_EQ(number, 42u);  // the default stays in force
    EXPECT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
    EXPECT_TRUE(os::reg_read_dword(kKorvel, u"Log", number));
    const std::string said = testing::internal::GetCapturedStderr();
    // Said exactly once, naming where the old file went.
    const auto copies = damaged_copies(root.path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(read_bytes(copies[0]), garbage);
    EXPECT_NE(said.find(copies[0]), std::string::npos) << said;
    EXPECT_EQ(said.find("registry:"), said.rfind("registry:")) << said;

    // A database that opens but whose pages are damaged is caught by the check at opening.
    ASSERT_TRUE(os::reg_write_string(kKorvel, u"Filler", std::u16string(3000, u'a')));
    ASSERT_TRUE(os::reg_flush(kKorvel));
    TempRoot elsewhere;  // the connection follows QUILLON_ROOT, so this closes the first one
    EXPECT_TRUE(os::reg_write_dword(kKorvel, u"Other", 1));
    std::string bytes = read_bytes(database);
    ASSERT_GT(bytes.size(), 4096u);
    for (size_t i = 4096 + 8; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);
    write_bytes(database, bytes);
    std::filesystem::remove(database + "-wal");
    ScopedEnv env;
    env.set("QUILLON_ROOT", root.path());

    testing::internal::CaptureStderr();
    EXPECT_FALSE(os::reg_read_dword(kKorvel, u"Log", number));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(damaged_copies(root.path()).size(), 2u);
    EXPECT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
    env.set("QUILLON_ROOT", elsewhere.path());
}

TEST(Registry, WhatADamagedDatabaseStillHoldsIsSavedAndTheUserIsTold) {
    TempRoot root;
    const std::string database = root.path() + "/registry.db";
    ASSERT_TRUE(os::reg_write_dword(kSettings, u"AutoRecord", 1));
    ASSERT_TRUE(os::reg_write_string(kSettings, u"NeverRecord", u"0800 123 456"));
    ASSERT_TRUE(os::reg_flush(kSettings));
    {
        TempRoot elsewhere;  // the connection follows QUILLON_ROOT, so this closes the first one
        EXPECT_TRUE(os::reg_write_dword(kKorvel, u"Other", 1));
    }
    ScopedEnv env;
    env.set("QUILLON_ROOT", root.path());
    std::filesystem::remove(database + "-wal");
    std::filesystem::remove(database + "-shm");
    // 200 bytes overwritten at the start of the second page.
    std::string bytes = read_bytes(database);
    ASSERT_GT(bytes.size(), 4096u + 200u);
    for (size_t i = 4096; i < 4096 + 200; ++i) bytes[i] = static_cast<char>(0xA5 ^ (i * 7));
    write_bytes(database, bytes);

    testing::internal::CaptureStderr();
    uint32_t auto_record = 0;
    EXPECT_TRUE(os::reg_read_dword(kSettings, u"AutoRecord", auto_record));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(auto_record, 1u) << said;
    std::u16string never;
    EXPECT_TRUE(os::reg_read_string(kSettings, u"NeverRecord", never));
    EXPECT_EQ(never, u"0800 123 456");
    EXPECT_NE(said.find("was damaged"), std::string::npos) << said;
    EXPECT_NE(said.find("saved from it"), std::string::npos) << said;
    EXPECT_EQ(said.find("not an error"), std::string::npos) << said;
    EXPECT_EQ(damaged_copies(root.path()).size(), 1u);
    // The screens are told once.
    EXPECT_TRUE(os::reg_take_damage_notice());
    EXPECT_FALSE(os::reg_take_damage_notice());
}

TEST(Registry, ThreadsShareTheDatabaseSafely) {
    TempRoot root;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const std::u16string name = u"Thread" + os::to_text(t);
            for (uint32_t i = 1; i <= 200; ++i) {
                uint32_t seen = 0;
                if (!os::reg_write_dword(kSettings, name, i)) ++failures;
                if (!os::reg_read_dword(kSettings, name, seen) || seen != i) ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(Registry, ListsTheKeysDirectlyBelowAKey) {
    TempRoot root;
    const std::u16string keys = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shell\\Keys";
    std::vector<std::u16string> names{u"stale"};
    EXPECT_TRUE(os::reg_list_subkeys(keys, names));
    EXPECT_TRUE(names.empty());

    ASSERT_TRUE(os::reg_write_string(keys + u"\\40C1", u"Name", u"Button 1"));
    ASSERT_TRUE(os::reg_write_string(keys + u"\\40C2\\Deeper", u"x", u"y"));
    ASSERT_TRUE(os::reg_write_string(keys + u"Extra\\Sibling", u"x", u"y"));  // shares the prefix only
    ASSERT_TRUE(os::reg_write_string(u"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Shell\\Keys\\Other", u"x", u"y"));
    ASSERT_TRUE(os::reg_list_subkeys(keys + u"\\", names));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"40C1", u"40C2"}));
    // Names match without regard to case, as the platform's do.
    ASSERT_TRUE(os::reg_list_subkeys(u"HKEY_LOCAL_MACHINE\\software\\microsoft\\shell\\keys", names));
    EXPECT_EQ(names.size(), 2u);
    ASSERT_TRUE(os::reg_list_subkeys(u"HKEY_LOCAL_MACHINE", names));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"SOFTWARE"}));
    EXPECT_FALSE(os::reg_list_subkeys(u"HKEY_NOWHERE\\x", names));
}
