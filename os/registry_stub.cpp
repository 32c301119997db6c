// Placeholder until the SQLite registry lands: every read fails, every write is refused.
#include "os/registry.h"

namespace os {
bool reg_read_string(std::u16string_view, std::u16string_view, std::u16string&) { return false; }
bool reg_read_dword(std::u16string_view, std::u16string_view, uint32_t&) { return false; }
bool reg_read_bool(std::u16string_view, std::u16string_view, uint8_t&) { return false; }
bool reg_write_string(std::u16string_view, std::u16string_view, std::u16string_view) { return false; }
bool reg_write_dword(std::u16string_view, std::u16string_view, uint32_t) { return false; }
bool reg_delete_value(std::u16string_view, std::u16string_view) { return false; }
bool reg_flush(std::u16string_view) { return false; }
}  // namespace os
