#include "document/peak_cache.h"

#include <sqlite3.h>

#include <cstring>

#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace {

// A table beside the records, made when missing: a database from before it simply gains it, and
// the records' own layout and number stay as they are.
const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS peaks("
    "  path BLOB PRIMARY KEY NOT NULL,"
    "  size INTEGER NOT NULL, write_ns INTEGER NOT NULL, change_ns INTEGER NOT NULL, inode INTEGER NOT NULL,"
    "  pairs BLOB NOT NULL) WITHOUT ROWID";

void bind_path(sqlite3_stmt* statement, int index, std::u16string_view text) {
    sqlite3_bind_blob(statement, index, text.empty() ? "" : static_cast<const void*>(text.data()),
                      static_cast<int>(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
}

}  // namespace

struct PeakCache::Impl {
    sqlite3* db = nullptr;

    explicit Impl(const std::u16string& path) {
        const std::string file = os::to_utf8(path);
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            fail(u"cannot open");
            return;
        }
        // Peers hold the lock for a short batch only; longer is not waited for.
        sqlite3_busy_timeout(db, 50);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
        if (sqlite3_exec(db, kCreateTable, nullptr, nullptr, nullptr) != SQLITE_OK) fail(u"cannot make the table");
    }
    ~Impl() {
        if (db) sqlite3_close_v2(db);
    }
    void fail(const char16_t* what) {
        os::log() << u"peak cache not used: " << what << u": " << os::from_utf8(db ? sqlite3_errmsg(db) : "") << u"\n";
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }
};

PeakCache::PeakCache(std::u16string path) : m_impl(std::make_unique<Impl>(path)) {}
PeakCache::~PeakCache() = default;

bool PeakCache::is_open() const { return m_impl->db != nullptr; }

std::optional<std::vector<PeakPair>> PeakCache::load(std::u16string_view path) {
    if (!m_impl->db) return std::nullopt;
    const std::u16string where = os::strip_separator(os::expand_path(path));
    const os::FileInfo info(where);
    if (!info.exists() || info.is_folder()) return std::nullopt;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_impl->db, "SELECT size, write_ns, change_ns, inode, pairs FROM peaks WHERE path=?1", -1,
                           &statement, nullptr) != SQLITE_OK) {
        return std::nullopt;
    }
    bind_path(statement, 1, where);
    std::optional<std::vector<PeakPair>> found;
    if (sqlite3_step(statement) == SQLITE_ROW &&
        static_cast<uint64_t>(sqlite3_column_int64(statement, 0)) == info.full_size &&
        sqlite3_column_int64(statement, 1) == info.write_ns && sqlite3_column_int64(statement, 2) == info.change_ns &&
        static_cast<uint64_t>(sqlite3_column_int64(statement, 3)) == info.inode &&
        sqlite3_column_type(statement, 4) == SQLITE_BLOB) {
        const int bytes = sqlite3_column_bytes(statement, 4);
        std::vector<PeakPair> pairs(static_cast<size_t>(bytes) / sizeof(PeakPair));
        if (!pairs.empty())
            std::memcpy(pairs.data(), sqlite3_column_blob(statement, 4), pairs.size() * sizeof(PeakPair));
        found = std::move(pairs);
    }
    sqlite3_finalize(statement);
    return found;
}

bool PeakCache::store(std::u16string_view path, const std::vector<PeakPair>& peaks) {
    if (!m_impl->db) return false;
    const std::u16string where = os::strip_separator(os::expand_path(path));
    const os::FileInfo info(where);
    if (!info.exists() || info.is_folder()) return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_impl->db,
                           "INSERT OR REPLACE INTO peaks(path, size, write_ns, change_ns, inode, pairs) "
                           "VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
                           -1, &statement, nullptr) != SQLITE_OK) {
        return false;
    }
    bind_path(statement, 1, where);
    sqlite3_bind_int64(statement, 2, static_cast<int64_t>(info.full_size));
    sqlite3_bind_int64(statement, 3, info.write_ns);
    sqlite3_bind_int64(statement, 4, info.change_ns);
    sqlite3_bind_int64(statement, 5, static_cast<int64_t>(info.inode));
    sqlite3_bind_blob(statement, 6, peaks.empty() ? "" : static_cast<const void*>(peaks.data()),
                      static_cast<int>(peaks.size() * sizeof(PeakPair)), SQLITE_TRANSIENT);
    const bool stored = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    if (!stored) os::log() << u"peak cache: cannot keep the peaks of " << where << u"\n";
    return stored;
}

void PeakCache::forget(std::u16string_view path) {
    if (!m_impl->db) return;
    const std::u16string where = os::strip_separator(os::expand_path(path));
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_impl->db, "DELETE FROM peaks WHERE path=?1", -1, &statement, nullptr) != SQLITE_OK) return;
    bind_path(statement, 1, where);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
}

bool PeakCache::has_row(std::u16string_view path) {
    if (!m_impl->db) return false;
    const std::u16string where = os::strip_separator(os::expand_path(path));
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_impl->db, "SELECT 1 FROM peaks WHERE path=?1", -1, &statement, nullptr) != SQLITE_OK) {
        return false;
    }
    bind_path(statement, 1, where);
    const bool found = sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_finalize(statement);
    return found;
}
