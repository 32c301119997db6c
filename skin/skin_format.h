#pragma once
// The binary skin layout, shared by the reader (Properties) and the compiler (quillon-skinc).
// Every number is little-endian, every text UTF-16LE and NUL-terminated, every offset counted from
// the start of the file.
#include <cstdint>

namespace skin_format {

constexpr uint32_t kHeaderSize = 92;
constexpr char16_t kMagic[4] = {0x0421, 0x043A, 0x0438, 0x043D};
constexpr uint32_t kRootOffset = 72;
constexpr uint32_t kPictureCount = 76;
constexpr uint32_t kFontCount = 80;
constexpr uint32_t kPoolOffset = 84;
constexpr uint32_t kStringCount = 88;

// DirectoryEntry: left, right, name offset, then the element record.
constexpr uint32_t kEntryLeft = 0;
constexpr uint32_t kEntryRight = 4;
constexpr uint32_t kEntryName = 8;
constexpr uint32_t kEntryRecord = 12;

// ElementRecord: seven 16-bit table boundaries, the child count, then 32-bit child offsets.
constexpr uint32_t kRecordBoundaries = 7;
constexpr uint32_t kRecordChildCount = 14;
constexpr uint32_t kRecordChildren = 16;

// The property tables in record order; each entry starts with a 16-bit name offset.
enum class Table : int { Integer = 0, Font = 1, Point = 2, String = 3, Picture = 4, Color = 5 };
constexpr int kTableCount = 6;
constexpr uint32_t kEntrySize[kTableCount] = {8, 8, 8, 4, 20, 8};

// Property names are reached through 16-bit offsets, so they must live in the first 64 KB.
constexpr uint32_t kNameLimit = 65536;

}  // namespace skin_format
