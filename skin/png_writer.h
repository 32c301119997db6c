#pragma once
// Saves an RGB565 bitmap as an 8-bit RGB PNG (for the render tool and the headless display).
#include <string>

class Bitmap;

bool save_png(const Bitmap& bitmap, const std::string& path);
