#include "document/record_cache.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "document/record_files.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace {

// Changing the table's layout means a new number: a database of another number is emptied.
// 2: rows hold each recording's length (rows of 1 have none, so they are read again).
constexpr int kSchemaVersion = 2;

// Another process commits its batches in well under this; a lock held longer is not waited for:
// the list is built from the files instead.
constexpr int kBusyWaitMs = 20;

// Rows read from files are written in batches of this many, each batch one short transaction.
constexpr size_t kBatchRows = 64;

// While another program holds the write lock, rows wait; past this many they are dropped (the
// files are read again at the next start, nothing else is lost).
constexpr size_t kMaxPendingRows = 4096;

const char* const kCreateTable =
    "CREATE TABLE records("
    "  path BLOB PRIMARY KEY NOT NULL,"
    "  size INTEGER NOT NULL, write_ns INTEGER NOT NULL, change_ns INTEGER NOT NULL, inode INTEGER NOT NULL,"
    "  valid INTEGER NOT NULL, artist BLOB NOT NULL, title BLOB NOT NULL, album BLOB NOT NULL,"
    "  channels INTEGER NOT NULL, rate INTEGER NOT NULL, bits INTEGER NOT NULL, bit_rate INTEGER NOT NULL,"
    "  duration REAL NOT NULL) WITHOUT ROWID";

// SQLite's own timeout backs off to long sleeps; polling every millisecond within the short bound
// takes the lock as soon as a peer's commit ends.
int retry_while_busy(void*, int attempt) {
    thread_local std::chrono::steady_clock::time_point t_first_try;
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) t_first_try = now;
    if (now - t_first_try >= std::chrono::milliseconds(kBusyWaitMs)) return 0;
    ::usleep(1000);
    return 1;
}

bool is_busy(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool is_damage(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// Texts are kept as their UTF-16 units, so whatever a tag holds comes back unit for unit.
void bind_text(sqlite3_stmt* statement, int index, std::u16string_view text) {
    sqlite3_bind_blob(statement, index, text.empty() ? "" : static_cast<const void*>(text.data()),
                      static_cast<int>(text.size() * sizeof(char16_t)), SQLITE_STATIC);
}

bool column_text(sqlite3_stmt* statement, int index, std::u16string& out) {
    if (sqlite3_column_type(statement, index) != SQLITE_BLOB) return false;
    const void* bytes = sqlite3_column_blob(statement, index);
    const int size = sqlite3_column_bytes(statement, index);
    if (size % static_cast<int>(sizeof(char16_t)) != 0) return false;
    out.resize(static_cast<size_t>(size) / sizeof(char16_t));
    if (size > 0) std::memcpy(out.data(), bytes, static_cast<size_t>(size));
    return true;
}

bool column_int(sqlite3_stmt* statement, int index, int64_t& out) {
    if (sqlite3_column_type(statement, index) != SQLITE_INTEGER) return false;
    out = sqlite3_column_int64(statement, index);
    return true;
}

struct Row {
    uint64_t size = 0;
    int64_t write_ns = 0;
    int64_t change_ns = 0;
    uint64_t inode = 0;
    RecordEntry entry;
};

Row row_of(const os::FileInfo& info, const RecordEntry& entry) {
    return Row{info.full_size, info.write_ns, info.change_ns, info.inode, entry};
}

void make_folders(const std::string& folder) {
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
    }
}

// Counting first spares the pass over all paths when nothing vanished, the usual case. Any
// failure leaves the rows: they are checked against the files before use anyway.
void drop_unmet(const std::string& file, const std::unordered_set<std::u16string>& met) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return;
    }
    sqlite3_busy_handler(db, retry_while_busy, nullptr);
    sqlite3_stmt* statement = nullptr;
    int64_t rows = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        rows = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    std::vector<std::u16string> unmet;
    if (rows > static_cast<int64_t>(met.size()) &&
        sqlite3_prepare_v2(db, "SELECT path FROM records", -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::u16string where;
            if (column_text(statement, 0, where) && !met.count(where)) unmet.push_back(std::move(where));
        }
        sqlite3_finalize(statement);
    }
    if (!unmet.empty() &&
        sqlite3_prepare_v2(db, "DELETE FROM records WHERE path=?1", -1, &statement, nullptr) == SQLITE_OK) {
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) {
            for (const std::u16string& where : unmet) {
                sqlite3_reset(statement);
                bind_text(statement, 1, where);
                sqlite3_step(statement);
            }
            sqlite3_reset(statement);
            if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
}

}  // namespace

struct RecordCache::Impl {
    explicit Impl(std::u16string path) : path(std::move(path)), file(os::to_utf8(this->path)) {}
    ~Impl() {
        finish_sweep();
        close();
    }

    // Opens the database; a damaged one is deleted and made anew once.
    void open() {
        int rc = try_open();
        if (is_damage(rc)) {
            discard(u"it could not be read", rc);
            rc = try_open();
        }
        if (rc != SQLITE_OK) {
            os::log() << u"record cache " << path << u" not used: " << os::from_utf8(sqlite3_errstr(rc)) << u"\n";
            close();
        }
    }

    int try_open() {
        close();
        make_folders(file.substr(0, file.rfind('/')));
        int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) return rc;
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_handler(db, retry_while_busy, nullptr);
        // Never synced to the medium: a power cut can leave only older rows, which the checks on
        // size, times and inode refuse, or damage, which starts the cache again. Syncing would
        // stall the scan's slices for tens of milliseconds at each checkpoint.
        rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK && !is_busy(rc)) return rc;
        int64_t version = 0;
        rc = schema_version(version);
        if (rc != SQLITE_OK) return rc;
        if (version != kSchemaVersion) {
            rc = make_table();
            if (rc != SQLITE_OK) return rc;
        }
        return prepare();
    }

    int schema_version(int64_t& version) {
        sqlite3_stmt* statement = nullptr;
        int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
        if (rc != SQLITE_OK) return rc;
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            version = sqlite3_column_int64(statement, 0);
            rc = SQLITE_OK;
        }
        sqlite3_finalize(statement);
        return rc;
    }

    int make_table() {
        int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
        // Another process may have made it while we waited for the lock.
        int64_t version = 0;
        rc = schema_version(version);
        if (rc == SQLITE_OK && version != kSchemaVersion) {
            rc = sqlite3_exec(db, "DROP TABLE IF EXISTS records", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) rc = sqlite3_exec(db, kCreateTable, nullptr, nullptr, nullptr);
            const std::string set_version = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
            if (rc == SQLITE_OK) rc = sqlite3_exec(db, set_version.c_str(), nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return rc;
    }

    int prepare() {
        const std::pair<sqlite3_stmt**, const char*> statements[] = {
            {&select,
             "SELECT size, write_ns, change_ns, inode, valid, artist, title, album, channels, rate, bits, bit_rate, "
             "duration FROM records WHERE path=?1"},
            {&upsert,
             "INSERT OR REPLACE INTO records(path, size, write_ns, change_ns, inode, valid, artist, title, album, "
             "channels, rate, bits, bit_rate, duration) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
             "?13, ?14)"},
            {&remove, "DELETE FROM records WHERE path=?1"},
        };
        for (const auto& [statement, sql] : statements) {
            const int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr);
            if (rc != SQLITE_OK) return rc;
        }
        return SQLITE_OK;
    }

    void close() {
        for (sqlite3_stmt** statement : {&select, &upsert, &remove}) {
            sqlite3_finalize(*statement);
            *statement = nullptr;
        }
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }

    // The cache holds nothing the files do not, so a damaged database is simply started again.
    void discard(const char16_t* why, int rc) {
        close();
        os::log() << u"record cache " << path << u" started again: " << why << u" ("
                  << os::from_utf8(sqlite3_errstr(rc)) << u")\n";
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((file + suffix).c_str());
    }

    // A statement failed: damage starts the database again, anything else but a passing lock
    // leaves the cache unused for this run.
    void failed(int rc) {
        if (is_busy(rc)) return;
        if (is_damage(rc) && !rebuilt) {
            rebuilt = true;
            discard(u"it was found damaged", rc);
            open();
            return;
        }
        os::log() << u"record cache " << path << u" not used: " << os::from_utf8(sqlite3_errstr(rc)) << u"\n";
        close();
    }

    // True, with the entry completed, when the row was read from this version of the file.
    bool look_up(const os::FileInfo& info, RecordEntry& entry) {
        if (!db) return false;
        sqlite3_reset(select);
        bind_text(select, 1, entry.path);
        const int rc = sqlite3_step(select);
        if (rc != SQLITE_ROW) {
            sqlite3_reset(select);
            if (is_busy(rc)) {
                // Readers wait only for a program that holds the whole database: each further
                // look-up would wait as long again, so the files are read instead from now on.
                os::log() << u"record cache " << path << u" not used: locked by another program\n";
                close();
            } else if (rc != SQLITE_DONE) {
                failed(rc);
            }
            return false;
        }
        int64_t size = 0, write_ns = 0, change_ns = 0, inode = 0, valid = 0, channels = 0, rate = 0, bits = 0,
                bit_rate = 0;
        RecordEntry found = entry;
        const bool complete =
            column_int(select, 0, size) && column_int(select, 1, write_ns) && column_int(select, 2, change_ns) &&
            column_int(select, 3, inode) && column_int(select, 4, valid) && column_text(select, 5, found.artist) &&
            column_text(select, 6, found.title) && column_text(select, 7, found.album) &&
            column_int(select, 8, channels) && column_int(select, 9, rate) && column_int(select, 10, bits) &&
            column_int(select, 11, bit_rate) && sqlite3_column_type(select, 12) == SQLITE_FLOAT;
        const double duration = complete ? sqlite3_column_double(select, 12) : 0.0;
        sqlite3_reset(select);
        if (!complete || static_cast<uint64_t>(size) != info.full_size || write_ns != info.write_ns ||
            change_ns != info.change_ns || static_cast<uint64_t>(inode) != info.inode) {
            return false;
        }
        found.valid = valid != 0;
        found.channels = static_cast<int32_t>(channels);
        found.rate = static_cast<int32_t>(rate);
        found.bits = static_cast<int32_t>(bits);
        found.bit_rate = static_cast<int32_t>(bit_rate);
        found.duration = duration;
        entry = std::move(found);
        return true;
    }

    bool write(const Row& row) {
        sqlite3_reset(upsert);
        const RecordEntry& e = row.entry;
        bind_text(upsert, 1, e.path);
        sqlite3_bind_int64(upsert, 2, static_cast<int64_t>(row.size));
        sqlite3_bind_int64(upsert, 3, row.write_ns);
        sqlite3_bind_int64(upsert, 4, row.change_ns);
        sqlite3_bind_int64(upsert, 5, static_cast<int64_t>(row.inode));
        sqlite3_bind_int(upsert, 6, e.valid ? 1 : 0);
        bind_text(upsert, 7, e.artist);
        bind_text(upsert, 8, e.title);
        bind_text(upsert, 9, e.album);
        sqlite3_bind_int64(upsert, 10, e.channels);
        sqlite3_bind_int64(upsert, 11, e.rate);
        sqlite3_bind_int64(upsert, 12, e.bits);
        sqlite3_bind_int64(upsert, 13, e.bit_rate);
        sqlite3_bind_double(upsert, 14, e.duration);
        const int rc = sqlite3_step(upsert);
        sqlite3_reset(upsert);
        if (rc == SQLITE_DONE) return true;
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        failed(rc);
        return false;
    }

    void commit() {
        if (!db || pending.empty()) return;
        if (pending.size() < next_commit_rows) return;
        const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            // Another writer holds on: try again only after as many rows again, so a long lock
            // costs a few bounded waits, not one per batch.
            next_commit_rows = pending.size() * 2;
            if (pending.size() > kMaxPendingRows) {
                pending.clear();
                next_commit_rows = 0;
            }
            failed(rc);
            return;
        }
        next_commit_rows = 0;
        for (const Row& row : pending) {
            if (!write(row)) return;
        }
        const int done = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        if (done != SQLITE_OK) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            failed(done);
            return;
        }
        if (sweeping) {
            for (const Row& row : pending) met.insert(row.entry.path);
        }
        pending.clear();
    }

    void forget(std::u16string_view where) {
        std::erase_if(pending, [&](const Row& row) { return row.entry.path == where; });
        met.erase(std::u16string(where));
        if (!db) return;
        sqlite3_reset(remove);
        bind_text(remove, 1, where);
        const int rc = sqlite3_step(remove);
        sqlite3_reset(remove);
        if (rc != SQLITE_DONE) failed(rc);
    }

    // Drops, on a thread of its own, every row whose file the sweep did not meet: counting and
    // going over ten thousand rows takes longer than a frame may wait.
    void drop_unmet_later() {
        finish_sweep();
        if (!db) return;
        sweeper = std::thread([file = file, met = std::move(met)] { drop_unmet(file, met); });
        met.clear();
    }

    void finish_sweep() {
        if (sweeper.joinable()) sweeper.join();
    }

    std::u16string path;
    std::string file;
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    sqlite3_stmt* upsert = nullptr;
    sqlite3_stmt* remove = nullptr;
    bool rebuilt = false;  // once per run: a database that keeps failing is left alone
    std::vector<Row> pending;
    size_t next_commit_rows = 0;  // raised while another writer holds the lock
    bool sweeping = false;
    std::unordered_set<std::u16string> met;  // paths with a row of their current version
    std::thread sweeper;
};

RecordCache::RecordCache(std::u16string path) : m_impl(std::make_unique<Impl>(std::move(path))) { m_impl->open(); }

RecordCache::~RecordCache() { commit(); }

std::u16string RecordCache::default_path() { return os::config_folder() + u"/records.db"; }

bool RecordCache::is_open() const { return m_impl->db != nullptr; }

RecordEntry RecordCache::entry_of(std::u16string_view path) {
    const os::FileInfo info(os::strip_separator(os::expand_path(path)));
    RecordEntry entry = record_entry_of_file(info);
    if (!info.exists() || info.is_folder()) return entry;
    if (m_impl->look_up(info, entry)) {
        ++m_hits;
        if (m_impl->sweeping) m_impl->met.insert(entry.path);
        return entry;
    }
    ++m_misses;
    read_record_information(entry, true, true);
    if (m_impl->db) {
        m_impl->pending.push_back(row_of(info, entry));
        if (m_impl->pending.size() >= kBatchRows) m_impl->commit();
    }
    return entry;
}

void RecordCache::forget(std::u16string_view path) { m_impl->forget(path); }

void RecordCache::commit() { m_impl->commit(); }

void RecordCache::begin_sweep() {
    m_impl->sweeping = true;
    m_impl->met.clear();
}

void RecordCache::end_sweep() {
    if (!m_impl->sweeping) return;
    m_impl->commit();
    m_impl->drop_unmet_later();
    m_impl->sweeping = false;
    m_impl->met.clear();
}

void RecordCache::finish_sweep() { m_impl->finish_sweep(); }
