// quillon-make-text-file SOURCE OUTPUT: writes a UTF-8 text source as the UTF-16LE file with
// byte-order mark and CR LF line ends that the program reads. The sources stay UTF-8 so that
// translators can edit and review them as ordinary text.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "os/text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillon-make-text-file SOURCE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    const std::u16string text = os::from_utf8(bytes);
    if (text.find(u'\uFFFD') != std::u16string::npos) {
        std::fprintf(stderr, "%s: not valid UTF-8\n", argv[1]);
        return 1;
    }
    std::string out = "\xFF\xFE";
    auto put = [&out](char16_t c) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    };
    for (char16_t c : text) {
        if (c == u'\r') continue;
        if (c == u'\n') put(u'\r');
        put(c);
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!file.flush()) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    return 0;
}
