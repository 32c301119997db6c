#include "os/registry_database.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace os::registry_database {
namespace {

// Another process (the phone-state publisher) may hold the write lock for a moment; waiting this
// long covers any sane transaction, and stays well under the document's 0.2 s tick, so a wedged
// peer makes an operation fail (and say so) instead of freezing the GUI for seconds.
constexpr int kBusyTimeoutMs = 100;

// Polls every millisecond within the bound: SQLite's own timeout backs off to sleeps of up to
// 100 ms, so a peer committing many short transactions in a row could starve us for the whole
// bound although the lock was free most of the time.
int retry_while_busy(void*, int attempt) {
    thread_local std::chrono::steady_clock::time_point t_first_try;
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) t_first_try = now;
    if (now - t_first_try >= std::chrono::milliseconds(kBusyTimeoutMs)) return 0;
    ::usleep(1000);
    return 1;
}

void wait_when_busy(sqlite3* db, bool wait) { sqlite3_busy_handler(db, wait ? retry_while_busy : nullptr, nullptr); }

thread_local std::u16string t_last_error;
std::atomic<uint64_t> g_write_generation{0};

bool is_busy(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// The file (or, while it does not exist, its folder) refuses us for the lack of rights. That says
// nothing about the file's health: it must not be set aside as damaged.
bool permission_denied(const std::string& file) {
    const bool exists = ::access(file.c_str(), F_OK) == 0;
    const std::string target = exists ? file : file.substr(0, file.rfind('/'));
    const int mode = exists ? (R_OK | W_OK) : (W_OK | X_OK);
    if (::access(target.c_str(), mode) == 0) return false;
    return errno == EACCES || errno == EPERM || errno == EROFS;
}

// A damaged database was replaced this run; the screens say so once.
std::atomic<bool> g_damage_noticed{false};

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  hive INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
    "  PRIMARY KEY(hive, path)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS key_values("
    "  hive INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL,"
    "  PRIMARY KEY(hive, path, name)) WITHOUT ROWID;";

// A file that cannot be opened at start is as useless as a corrupt one. An I/O error is not
// counted: a full disk or a file-size limit says nothing about the file, and setting it aside would
// reset every setting the user made.
bool is_damage_at_open(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_CANTOPEN ||
           primary == SQLITE_PERM;
}

// While running, only a file that SQLite itself finds malformed is set aside; a passing I/O error
// must not throw away a sound database.
bool is_damage(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

class Statement {
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(m_statement); }

    bool prepare(sqlite3* db, const char* sql) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr) == SQLITE_OK;
    }
    void finalize() {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
    // Binds (hive, path[, name]) after a reset.
    sqlite3_stmt* start(Hive hive, std::u16string_view path) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
        sqlite3_bind_int(m_statement, 1, static_cast<int>(hive));
        sqlite3_bind_text16(m_statement, 2, path.data(), static_cast<int>(path.size() * 2), SQLITE_STATIC);
        return m_statement;
    }
    sqlite3_stmt* start(Hive hive, std::u16string_view path, std::u16string_view name) {
        start(hive, path);
        sqlite3_bind_text16(m_statement, 3, name.data(), static_cast<int>(name.size() * 2), SQLITE_STATIC);
        return m_statement;
    }
    sqlite3_stmt* start() {
        sqlite3_reset(m_statement);
        return m_statement;
    }
    void done() { sqlite3_reset(m_statement); }

private:
    sqlite3_stmt* m_statement = nullptr;
};

class Database {
public:
    // Everything below runs with m_mutex held.
    std::mutex m_mutex;

    // Opens (or re-opens after a path change or a fork) the database; false when unusable.
    bool ensure_open() {
        const std::u16string wanted = config_folder() + u"/registry.db";
        if (m_db && wanted == m_path && m_pid == ::getpid()) return true;
        if (m_db && m_pid != ::getpid()) {
            // A connection must not be used, nor closed, in a forked child: closing could
            // checkpoint over the parent's work. It is abandoned.
            release_statements();
            m_db = nullptr;
        }
        close();
        if (wanted != m_path) {
            g_write_generation.fetch_add(1);
            m_refusal_reported = false;
        }
        m_path = wanted;
        m_pid = ::getpid();
        std::u16string reason;
        if (open(reason)) return true;
        if (set_aside(reason) && open(reason)) {
            salvage();
            return true;
        }
        if (t_last_error.empty()) t_last_error = u"the registry database " + m_path + u" cannot be opened";
        return false;
    }

    // A statement met a damaged file while running: keep it aside and start over.
    void recover_from(int code) {
        if (!is_damage(code) || !m_db) return;
        const std::u16string reason = from_utf8(sqlite3_errstr(code));
        close();
        std::u16string ignored;
        // Another process may have set the damaged file aside already and started a fresh one,
        // which must not be taken for the damaged one.
        if (!still_the_opened_file()) {
            open(ignored);
        } else if (set_aside(reason) && open(ignored)) {
            salvage();
        }
    }

    void close() {
        release_statements();
        if (m_db) sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

    std::u16string take_notice() { return std::exchange(m_notice, std::u16string()); }

    sqlite3* m_db = nullptr;
    std::u16string m_path;
    Statement m_select_value, m_select_key, m_insert_key, m_upsert_value, m_delete_value;
    Statement m_begin, m_commit, m_rollback;

private:
    void release_statements() {
        for (Statement* s : {&m_select_value, &m_select_key, &m_insert_key, &m_upsert_value, &m_delete_value, &m_begin,
                             &m_commit, &m_rollback}) {
            s->finalize();
        }
    }

    bool fail(std::u16string& reason, int code) {
        reason = from_utf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
        const int extended = m_db ? sqlite3_extended_errcode(m_db) : code;
        bool damaged = is_damage_at_open(code) || is_damage_at_open(extended);
        close();
        const std::string file = to_utf8(m_path);
        if (is_busy(code) || is_busy(extended)) {
            damaged = false;
            t_last_error = u"the registry database " + m_path + u" is locked by another program";
        } else if (damaged && permission_denied(file)) {
            damaged = false;
            t_last_error = u"the registry database " + m_path +
                           u" cannot be opened: permission denied; this run uses the default settings and keeps "
                           u"no changes";
            // Once per database: the program starts with its defaults and says so, and the file
            // stays where it is for the user to mend its rights.
            if (!m_refusal_reported) {
                m_refusal_reported = true;
                const std::string line = "registry: " + to_utf8(t_last_error) + "\n";
                (void)!::write(STDERR_FILENO, line.data(), line.size());
                m_notice = t_last_error + u"\n";
            }
        } else if (!damaged) {
            t_last_error = u"the registry database " + m_path + u" cannot be used: " + reason;
        }
        if (!damaged) reason.clear();
        return false;
    }

    bool open(std::u16string& reason) {
        const std::string file = to_utf8(m_path);
        make_folders(file.substr(0, file.rfind('/')));
        int rc = sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) return fail(reason, rc);
        wait_when_busy(m_db, true);
        sqlite3_extended_result_codes(m_db, 1);
        // NORMAL keeps each commit atomic in WAL mode without an fsync per write; reg_flush makes
        // the writes durable when the program asks.
        rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        // A database in another journal mode that another program holds locked cannot change its
        // mode now; it is still read and written in its own mode, and changed at the next open.
        if (rc != SQLITE_OK && !is_busy(rc)) return fail(reason, rc);
        if (!quick_check_passes(rc)) {
            if (rc != SQLITE_OK) return fail(reason, rc);
            // The file opened but its structure check failed: that, not the last call's "not an
            // error", is the reason.
            fail(reason, SQLITE_CORRUPT);
            reason = u"its structure check failed";
            return false;
        }
        rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return fail(reason, rc);
        const bool prepared =
            m_select_value.prepare(m_db, "SELECT type, data FROM key_values WHERE hive=?1 AND path=?2 AND name=?3") &&
            m_select_key.prepare(m_db, "SELECT 1 FROM keys WHERE hive=?1 AND path=?2") &&
            m_insert_key.prepare(m_db, "INSERT OR IGNORE INTO keys(hive, path) VALUES(?1, ?2)") &&
            m_upsert_value.prepare(m_db,
                                   "INSERT OR REPLACE INTO key_values(hive, path, name, type, data) "
                                   "VALUES(?1, ?2, ?3, ?4, ?5)") &&
            m_delete_value.prepare(m_db, "DELETE FROM key_values WHERE hive=?1 AND path=?2 AND name=?3") &&
            m_begin.prepare(m_db, "BEGIN IMMEDIATE") && m_commit.prepare(m_db, "COMMIT") &&
            m_rollback.prepare(m_db, "ROLLBACK");
        if (!prepared) return fail(reason, sqlite3_extended_errcode(m_db));
        struct stat info {};
        m_identity = ::stat(file.c_str(), &info) == 0 ? std::pair(info.st_dev, info.st_ino) : std::pair<dev_t, ino_t>();
        return true;
    }

    bool still_the_opened_file() const {
        struct stat info {};
        return ::stat(to_utf8(m_path).c_str(), &info) == 0 && std::pair(info.st_dev, info.st_ino) == m_identity;
    }

    // The registry is small, so a full structural check at start costs little and catches damage
    // before a half-readable file hands out wrong settings.
    bool quick_check_passes(int& rc) {
        sqlite3_stmt* check = nullptr;
        rc = sqlite3_prepare_v2(m_db, "PRAGMA quick_check(1)", -1, &check, nullptr);
        if (rc != SQLITE_OK) return false;
        rc = sqlite3_step(check);
        bool ok = false;
        if (rc == SQLITE_ROW) {
            const unsigned char* answer = sqlite3_column_text(check, 0);
            ok = answer && std::string_view(reinterpret_cast<const char*>(answer)) == "ok";
            rc = SQLITE_OK;
        }
        sqlite3_finalize(check);
        return ok;
    }

    static void make_folders(const std::string& folder) {
        for (size_t i = 1; i <= folder.size(); ++i) {
            if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
        }
    }

    // Renames the damaged database (and its write-ahead files, which belong to it) beside itself.
    // The file is never deleted: it may hold settings someone wants to rescue.
    bool set_aside(const std::u16string& reason) {
        if (reason.empty()) return false;
        const std::string file = to_utf8(m_path);
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0) return false;
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        std::string aside = file + ".damaged-" + stamp;
        for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n) {
            aside = file + ".damaged-" + stamp + "-" + std::to_string(n);
        }
        if (::rename(file.c_str(), aside.c_str()) != 0) return false;
        for (const char* suffix : {"-wal", "-shm"}) {
            (void)::rename((file + suffix).c_str(), (aside + suffix).c_str());
        }
        m_aside = aside;
        m_aside_reason = reason;
        return true;
    }

    // Copies every setting that can still be read from the damaged file set aside into the new
    // one, and says what happened: on standard error, in the log, and to the screens.
    void salvage() {
        const std::string aside = std::exchange(m_aside, std::string());
        if (aside.empty() || !m_db) return;
        int saved = 0;
        bool whole = true;
        sqlite3* old = nullptr;
        if (sqlite3_open_v2(aside.c_str(), &old, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
            // Forwards until a damaged page stops the walk, then backwards to reach what lies
            // beyond it.
            for (const char* order : {"ASC", "DESC"}) {
                const std::string keys =
                    std::string("SELECT hive, path FROM keys ORDER BY hive ") + order + ", path " + order;
                const std::string values =
                    std::string("SELECT hive, path, name, type, data FROM key_values ORDER BY hive ") + order +
                    ", path " + order + ", name " + order;
                whole =
                    copy_rows(old, keys.c_str(), "INSERT OR IGNORE INTO keys(hive, path) VALUES(?1, ?2)", 2, nullptr) &&
                    whole;
                whole = copy_rows(
                            old, values.c_str(),
                            "INSERT OR IGNORE INTO key_values(hive, path, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)",
                            5, &saved) &&
                        whole;
                if (whole) break;
            }
        } else {
            whole = false;
        }
        if (old) sqlite3_close_v2(old);
        const std::string line = "registry: " + to_utf8(m_path) + " was damaged (" + to_utf8(m_aside_reason) + "); " +
                                 std::to_string(saved) + (saved == 1 ? " setting was" : " settings were") +
                                 " saved from it into a new one" +
                                 (whole ? "" : ", settings that could not be read are back at their defaults") +
                                 "; the damaged file was kept as " + aside + "\n";
        (void)!::write(STDERR_FILENO, line.data(), line.size());
        m_notice = from_utf8(line);
        g_damage_noticed.store(true);
    }

    // Copies the rows a query reads into the new database; false when a damaged page cut it short.
    bool copy_rows(sqlite3* from, const char* query, const char* insert, int columns, int* counted) {
        sqlite3_stmt* read = nullptr;
        sqlite3_stmt* write = nullptr;
        if (sqlite3_prepare_v2(from, query, -1, &read, nullptr) != SQLITE_OK ||
            sqlite3_prepare_v2(m_db, insert, -1, &write, nullptr) != SQLITE_OK) {
            sqlite3_finalize(read);
            sqlite3_finalize(write);
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
            for (int i = 0; i < columns; ++i) sqlite3_bind_value(write, i + 1, sqlite3_column_value(read, i));
            if (sqlite3_step(write) == SQLITE_DONE && counted && sqlite3_changes(m_db) > 0) ++*counted;
            sqlite3_reset(write);
        }
        sqlite3_finalize(read);
        sqlite3_finalize(write);
        return rc == SQLITE_DONE;
    }

    pid_t m_pid = 0;
    bool m_refusal_reported = false;
    std::string m_aside;  // the damaged file just set aside, until its settings are saved
    std::u16string m_aside_reason;
    std::pair<dev_t, ino_t> m_identity{};  // of the file opened, to notice it was replaced
    std::u16string m_notice;
};

Database& database() {
    // Never destroyed: a log line written from another static's destructor still finds it.
    static Database* instance = new Database;
    return *instance;
}

// Says in the log what happened to a damaged database. The log reads the registry itself, so this
// runs after the registry lock is released.
void report(std::u16string notice) {
    thread_local bool reporting = false;
    if (notice.empty() || reporting) return;
    reporting = true;
    os::log() << notice;
    reporting = false;
}

void note_failure(Database& db, int rc) {
    if (is_busy(rc)) {
        t_last_error = u"the registry database " + db.m_path + u" is locked by another program";
    } else {
        t_last_error = u"the registry database " + db.m_path + u" failed: " + from_utf8(sqlite3_errstr(rc));
    }
}

bool step_done(Database& db, sqlite3_stmt* statement) {
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) return true;
    note_failure(db, rc);
    db.recover_from(rc);
    return false;
}

// The keys from the top of the hive down to the key itself, as the platform creates them.
bool insert_key_and_parents(Database& db, Hive hive, std::u16string_view key) {
    for (size_t at = 0; at <= key.size(); ++at) {
        if (at < key.size() && key[at] != u'\\') continue;
        if (at == 0) continue;
        if (!step_done(db, db.m_insert_key.start(hive, key.substr(0, at)))) return false;
    }
    return true;
}

template <typename Body>
bool in_write_transaction(Database& db, Body body) {
    if (!step_done(db, db.m_begin.start())) return false;
    if (body() && db.m_db && step_done(db, db.m_commit.start())) return true;
    if (db.m_db) step_done(db, db.m_rollback.start());
    return false;
}

}  // namespace

bool read(Hive hive, std::u16string_view key, std::u16string_view name, Value& out) {
    Database& db = database();
    t_last_error.clear();
    bool found = false;
    std::u16string notice;
    {
        std::lock_guard lock(db.m_mutex);
        if (db.ensure_open()) {
            sqlite3_stmt* select = db.m_select_value.start(hive, key, name);
            const int rc = sqlite3_step(select);
            if (rc == SQLITE_ROW) {
                out.type = static_cast<uint32_t>(sqlite3_column_int64(select, 0));
                const void* bytes = sqlite3_column_blob(select, 1);
                const int size = sqlite3_column_bytes(select, 1);
                out.data.assign(static_cast<const char*>(bytes), bytes ? static_cast<size_t>(size) : 0);
                found = true;
                db.m_select_value.done();
            } else if (rc == SQLITE_DONE) {
                db.m_select_value.done();
                if (!key.empty()) {
                    sqlite3_stmt* exists = db.m_select_key.start(hive, key);
                    const int known = sqlite3_step(exists);
                    db.m_select_key.done();
                    if (known == SQLITE_DONE) {
                        // Creating the key is a courtesy of the read: it never waits for another
                        // program's write lock, and its failure does not make the read fail.
                        wait_when_busy(db.m_db, false);
                        in_write_transaction(db, [&] { return insert_key_and_parents(db, hive, key); });
                        if (db.m_db) wait_when_busy(db.m_db, true);
                        t_last_error.clear();
                    } else if (known != SQLITE_ROW) {
                        note_failure(db, known);
                        db.recover_from(known);
                    }
                }
            } else {
                db.m_select_value.done();
                note_failure(db, rc);
                db.recover_from(rc);
            }
        }
        notice = db.take_notice();
    }
    report(std::move(notice));
    return found;
}

bool write(Hive hive, std::u16string_view key, std::u16string_view name, const Value& value) {
    Database& db = database();
    t_last_error.clear();
    g_write_generation.fetch_add(1);
    bool ok = false;
    std::u16string notice;
    {
        std::lock_guard lock(db.m_mutex);
        if (db.ensure_open()) {
            ok = in_write_transaction(db, [&] {
                if (!insert_key_and_parents(db, hive, key)) return false;
                sqlite3_stmt* upsert = db.m_upsert_value.start(hive, key, name);
                sqlite3_bind_int64(upsert, 4, value.type);
                sqlite3_bind_blob(upsert, 5, value.data.data(), static_cast<int>(value.data.size()), SQLITE_STATIC);
                return step_done(db, upsert);
            });
        }
        notice = db.take_notice();
    }
    report(std::move(notice));
    return ok;
}

bool remove(Hive hive, std::u16string_view key, std::u16string_view name) {
    Database& db = database();
    t_last_error.clear();
    g_write_generation.fetch_add(1);
    bool ok = false;
    std::u16string notice;
    {
        std::lock_guard lock(db.m_mutex);
        if (db.ensure_open()) {
            ok = step_done(db, db.m_delete_value.start(hive, key, name)) && sqlite3_changes(db.m_db) > 0;
        }
        notice = db.take_notice();
    }
    report(std::move(notice));
    return ok;
}

bool subkeys(Hive hive, std::u16string_view key, std::vector<std::u16string>& out) {
    Database& db = database();
    t_last_error.clear();
    out.clear();
    bool ok = false;
    std::u16string notice;
    {
        std::lock_guard lock(db.m_mutex);
        if (db.ensure_open()) {
            // Rarely asked (a settings screen), so the statement is made on the spot.
            const std::u16string prefix = key.empty() ? std::u16string() : std::u16string(key) + u"\\";
            sqlite3_stmt* select = nullptr;
            int rc = sqlite3_prepare_v2(db.m_db,
                                        "SELECT path FROM keys WHERE hive=?1 AND length(path)>?3 AND "
                                        "substr(path, 1, ?3)=?2 COLLATE NOCASE ORDER BY path",
                                        -1, &select, nullptr);
            if (rc == SQLITE_OK) {
                sqlite3_bind_int(select, 1, static_cast<int>(hive));
                sqlite3_bind_text16(select, 2, prefix.data(), static_cast<int>(prefix.size() * 2), SQLITE_STATIC);
                sqlite3_bind_int(select, 3, static_cast<int>(prefix.size()));
                while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
                    const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(select, 0));
                    const size_t size = static_cast<size_t>(sqlite3_column_bytes16(select, 0)) / 2;
                    std::u16string_view below(text, size);
                    below.remove_prefix(prefix.size());
                    // Keys further down are the children's business.
                    if (below.find(u'\\') == std::u16string_view::npos) out.emplace_back(below);
                }
            }
            sqlite3_finalize(select);
            ok = rc == SQLITE_DONE;
            if (!ok) {
                note_failure(db, rc);
                db.recover_from(rc);
            }
        }
        notice = db.take_notice();
    }
    report(std::move(notice));
    return ok;
}

bool flush() {
    Database& db = database();
    t_last_error.clear();
    bool ok = false;
    std::u16string notice;
    {
        std::lock_guard lock(db.m_mutex);
        if (db.ensure_open()) {
            // A full checkpoint syncs the write-ahead log and copies it into the database file,
            // waiting (within the busy timeout) for another process's writer to finish.
            const int rc = sqlite3_wal_checkpoint_v2(db.m_db, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr);
            ok = rc == SQLITE_OK;
            if (!ok) {
                note_failure(db, rc);
                db.recover_from(rc);
            }
        }
        notice = db.take_notice();
    }
    report(std::move(notice));
    return ok;
}

std::u16string path() { return config_folder() + u"/registry.db"; }

uint64_t write_generation() { return g_write_generation.load(); }

const std::u16string& last_error() { return t_last_error; }

void set_last_error(std::u16string text) { t_last_error = std::move(text); }

bool take_damage_notice() { return g_damage_noticed.exchange(false); }

}  // namespace os::registry_database
