#pragma once
// The registry: hives, key paths and typed values kept in one SQLite database (WAL mode) at
// $QUILLON_ROOT/registry.db, else $XDG_CONFIG_HOME/quillon-touch/registry.db. Key paths are texts:
// the root's name ("HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"),
// "\", then the subkey. Another process may write while this one reads.
//
// Reads open the key as the platform would with create rights, so a missing key is created.
// A REG_SZ read of an empty text is true and empty; any value of another type is reported as absent.
// Key and value names match without regard to ASCII case, as the platform's do. A damaged database
// is kept aside (renamed beside itself), reported once on stderr and in the log, and replaced by an
// empty one, so the program runs on with its defaults. A database that cannot be opened for the lack
// of permissions is left where it is: the run goes on with the defaults and says so once.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace os {

bool reg_read_string(std::u16string_view key, std::u16string_view name, std::u16string& out);
bool reg_read_dword(std::u16string_view key, std::u16string_view name, uint32_t& out);
bool reg_read_bool(std::u16string_view key, std::u16string_view name, uint8_t& out);
bool reg_write_string(std::u16string_view key, std::u16string_view name, std::u16string_view value);
bool reg_write_dword(std::u16string_view key, std::u16string_view name, uint32_t value);
bool reg_delete_value(std::u16string_view key, std::u16string_view name);
// The names of the keys directly below a key (none when it does not exist).
bool reg_list_subkeys(std::u16string_view key, std::vector<std::u16string>& out);
// Makes every write so far durable.
bool reg_flush(std::u16string_view key);
// The database file in use for the current environment.
std::u16string reg_database_path();

// Why the calling thread's last registry operation failed, for the user: the database is locked
// by another program beyond the bounded wait (about 0.1 s), cannot be opened for the lack of
// permissions, the key path names no root, and the like. Empty after a success, and after a read
// that failed only because the value is absent or of another type: a caller that falls back to a
// default does so only when this is empty.
std::u16string reg_last_error();
// True once after the registry database was found damaged this run and replaced by what could be
// saved from it.
bool reg_take_damage_notice();

}  // namespace os
