#pragma once
// The readable skin source that quillon-skinc compiles (the format is described in
// data/skins/README.md): top-level elements with typed properties and nested children.
#include <cstdint>
#include <string>
#include <vector>

#include "skin/skin_format.h"

struct SourceProperty {
    skin_format::Table table = skin_format::Table::Integer;
    std::u16string name;
    int line = 0;
    int32_t integer = 0;         // int
    int16_t x = 0, y = 0;        // point
    uint8_t rgb[3] = {0, 0, 0};  // color
    std::u16string text;         // string value, font description, picture file name
    bool whole_picture = false;  // picture given without coordinates: the whole bitmap
    uint16_t coords[8] = {};     // picture points p0, p1, p2, p3
    bool flag = false;
};

struct SourceElement {
    std::u16string id;  // top-level elements only
    int line = 0;
    std::vector<SourceProperty> properties;
    std::vector<SourceElement> children;
};

struct SkinSource {
    std::vector<SourceElement> elements;
};

// Parses `text`; on a fault returns false with `error` as "FILE:LINE: reason".
bool parse_skin_source(const std::string& text, const std::string& file_name, SkinSource& source, std::string& error);
