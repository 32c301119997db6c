#pragma once
// What the skin loader needs to know about the screen it draws for.
#include <cstdint>

struct DisplayInfo {
    int32_t width = 240;
    int32_t height = 320;
    int32_t dpi_y = 96;
    int32_t orientation = 0;
};
