#pragma once
// Helpers shared by the skin tests: a private QUILLON_ROOT, skins compiled from source text, and
// tiny 16-bit BMP files written on the fly.
#include <cstdint>
#include <string>
#include <vector>

#include "skin/color.h"

namespace skin_test {

// A fresh folder under /tmp, set as QUILLON_ROOT for the whole test binary.
const std::string& temp_folder();

// Compiles skin source text (pictures already carrying coordinates, or named under `picture_folder`).
std::vector<uint8_t> compile(const std::string& source, const std::string& picture_folder = "");

void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// A 16-bit BMP: `pixels` row-major top to bottom; stored bottom-up unless `top_down`.
std::vector<uint8_t> make_bmp(int width, int height, const std::vector<Pixel>& pixels, bool top_down = false,
                              int bit_count = 16);

}  // namespace skin_test
