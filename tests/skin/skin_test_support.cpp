#include "tests/skin/skin_test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "os/text.h"
#include "skin/bitmap.h"
#include "tests/support/temp_folder.h"
#include "tools/quillon-skinc/skin_source.h"
#include "tools/quillon-skinc/skin_writer.h"

namespace skin_test {

const std::string& temp_folder() {
    static const test_support::TempRoot folder("quillon-skin-test");
    return folder.path();
}

namespace {
void resolve(SourceElement& element, const std::string& folder) {
    for (SourceProperty& property : element.properties) {
        if (property.table != skin_format::Table::Picture || !property.whole_picture) continue;
        auto bitmap = load_565(os::from_utf8(folder + "/" + os::to_utf8(property.text) + ".bmp"));
        ASSERT_TRUE(bitmap) << os::to_utf8(property.text);
        const uint16_t w = static_cast<uint16_t>(bitmap->width()), h = static_cast<uint16_t>(bitmap->height());
        const uint16_t coords[8] = {0, 0, 0, 0, w, h, w, h};
        std::copy(coords, coords + 8, property.coords);
    }
    for (SourceElement& child : element.children) resolve(child, folder);
}
}  // namespace

std::vector<uint8_t> compile(const std::string& source, const std::string& picture_folder) {
    SkinSource parsed;
    std::string error;
    EXPECT_TRUE(parse_skin_source(source, "test.src", parsed, error)) << error;
    for (SourceElement& element : parsed.elements) resolve(element, picture_folder);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(write_skin(parsed, "test.src", bytes, error)) << error;
    return bytes;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> make_bmp(int width, int height, const std::vector<Pixel>& pixels, bool top_down, int bit_count) {
    const int pitch = (16 * width + 31) / 32 * 4;
    const uint32_t data_offset = 14 + 40 + 12;  // with the three colour masks
    std::vector<uint8_t> out(data_offset + static_cast<size_t>(pitch) * height, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, data_offset);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(top_down ? -height : height));
    out[26] = 1;
    out[28] = static_cast<uint8_t>(bit_count);
    put32(30, 3);  // BI_BITFIELDS
    put32(54, 0xF800);
    put32(58, 0x07E0);
    put32(62, 0x001F);
    for (int y = 0; y < height; ++y) {
        const int file_row = top_down ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const Pixel p = pixels[static_cast<size_t>(y) * width + x];
            out[data_offset + static_cast<size_t>(file_row) * pitch + 2 * x] = static_cast<uint8_t>(p);
            out[data_offset + static_cast<size_t>(file_row) * pitch + 2 * x + 1] = static_cast<uint8_t>(p >> 8);
        }
    }
    return out;
}

}  // namespace skin_test

namespace {
// Every skin test binary runs under its own QUILLON_ROOT from the first test on.
class RootEnvironment : public ::testing::Environment {
public:
    void SetUp() override { skin_test::temp_folder(); }
};
[[maybe_unused]] ::testing::Environment* const root_environment =
    ::testing::AddGlobalTestEnvironment(new RootEnvironment);
}  // namespace
