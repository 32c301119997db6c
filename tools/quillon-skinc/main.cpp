// quillon-skinc: compiles a readable skin source and its 16-bit BMP pictures into a binary skin.
//
//     quillon-skinc SOURCE OUTPUT.skin [--pictures DIR]
//
// Pictures are read from DIR (default: the source's folder) and copied beside the output, where
// the program looks for them. Faults are reported as "FILE:LINE: reason" with exit status 1.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "os/text.h"
#include "skin/bitmap.h"
#include "tools/quillon-skinc/skin_source.h"
#include "tools/quillon-skinc/skin_writer.h"

namespace fs = std::filesystem;

namespace {
int fail(const std::string& message) {
    std::fprintf(stderr, "quillon-skinc: %s\n", message.c_str());
    return 1;
}

// Loads each picture once, fills the coordinates of whole-bitmap references and checks the others
// against the bitmap's size.
bool resolve_pictures(SourceElement& element, const fs::path& folder, const std::string& file,
                      std::set<std::u16string>& used, std::string& error) {
    for (SourceProperty& property : element.properties) {
        if (property.table != skin_format::Table::Picture) continue;
        const fs::path path = folder / (os::to_utf8(property.text) + ".bmp");
        const BitmapLoad load = load_565_file(os::from_utf8(path.string()));
        if (!load.bitmap) {
            const char* reason = load.status == BitmapLoad::Status::Not16Bit  ? "is not a 16-bit bitmap"
                                 : load.status == BitmapLoad::Status::BadSize ? "has an unusable size"
                                                                              : "cannot be read";
            error = file + ":" + std::to_string(property.line) + ": picture " + path.string() + " " + reason;
            return false;
        }
        const int32_t width = load.bitmap->width();
        const int32_t height = load.bitmap->height();
        if (property.whole_picture) {
            const uint16_t w = static_cast<uint16_t>(width), h = static_cast<uint16_t>(height);
            const uint16_t coords[8] = {0, 0, 0, 0, w, h, w, h};
            std::copy(coords, coords + 8, property.coords);
        } else if (property.coords[4] > width || property.coords[5] > height) {
            error = file + ":" + std::to_string(property.line) + ": picture area reaches past the " +
                    std::to_string(width) + "x" + std::to_string(height) + " bitmap " + path.string();
            return false;
        }
        used.insert(property.text);
    }
    for (SourceElement& child : element.children) {
        if (!resolve_pictures(child, folder, file, used, error)) return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    std::string pictures;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pictures" && i + 1 < argc) {
            pictures = argv[++i];
        } else if (arg == "--help" || arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "usage: quillon-skinc SOURCE OUTPUT.skin [--pictures DIR]\n");
            return arg == "--help" ? 0 : 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        std::fprintf(stderr, "usage: quillon-skinc SOURCE OUTPUT.skin [--pictures DIR]\n");
        return 2;
    }
    const fs::path source_path = positional[0];
    const fs::path output_path = positional[1];
    std::ifstream input(source_path, std::ios::binary);
    if (!input) return fail(source_path.string() + ": cannot be read");
    const std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());

    SkinSource source;
    std::string error;
    if (!parse_skin_source(text, source_path.string(), source, error)) return fail(error);
    const fs::path folder = pictures.empty() ? source_path.parent_path() : fs::path(pictures);
    std::set<std::u16string> used;
    for (SourceElement& element : source.elements) {
        if (!resolve_pictures(element, folder.empty() ? "." : folder, source_path.string(), used, error)) {
            return fail(error);
        }
    }
    std::vector<uint8_t> bytes;
    if (!write_skin(source, source_path.string(), bytes, error)) return fail(error);

    std::error_code code;
    if (output_path.has_parent_path()) fs::create_directories(output_path.parent_path(), code);
    std::ofstream output(output_path, std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!output.flush()) return fail(output_path.string() + ": cannot be written");

    // The program loads pictures from the skin's own folder.
    const fs::path target_folder = output_path.has_parent_path() ? output_path.parent_path() : fs::path(".");
    for (const std::u16string& name : used) {
        const std::string file = os::to_utf8(name) + ".bmp";
        const fs::path from = (folder.empty() ? fs::path(".") : folder) / file;
        const fs::path to = target_folder / file;
        if (fs::exists(to, code) && fs::equivalent(from, to, code)) continue;
        fs::create_directories(to.parent_path(), code);
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, code);
        if (code) return fail(to.string() + ": cannot be written (" + code.message() + ")");
    }
    return 0;
}
