#pragma once
// Another program's hold on the registry database: a connection of its own that keeps an exclusive
// transaction open until released, as a peer stuck in the middle of a write would.
#include <sqlite3.h>

#include <string>

class RegistryHolder {
public:
    // rollback_journal: the database is switched to the classic journal first, where an exclusive
    // transaction keeps readers out too (in WAL mode they still read).
    explicit RegistryHolder(const std::string& database, bool rollback_journal = false) {
        if (sqlite3_open_v2(database.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            return;
        }
        sqlite3_busy_timeout(m_db, 2000);
        if (rollback_journal && !exec("PRAGMA journal_mode=DELETE")) return;
        m_holding = exec("BEGIN EXCLUSIVE") && exec("CREATE TABLE IF NOT EXISTS holder_mark(x)") &&
                    exec("INSERT INTO holder_mark VALUES(1)");
    }
    ~RegistryHolder() {
        release();
        sqlite3_close_v2(m_db);
    }
    bool holding() const { return m_holding; }
    void release() {
        if (m_holding) exec("ROLLBACK");
        m_holding = false;
    }

private:
    bool exec(const char* sql) {
        // Statements that return rows (the journal mode) count as done too.
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3* m_db = nullptr;
    bool m_holding = false;
};
