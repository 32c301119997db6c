// Stands in for quillon-touch when a test checks what the launch registration starts: writes its
// arguments, one per line, to $QUILLON_ROOT/launched.txt.
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* root = std::getenv("QUILLON_ROOT");
    if (!root) return 1;
    const std::string path = std::string(root) + "/launched.txt";
    const std::string partial = path + ".part";
    FILE* file = std::fopen(partial.c_str(), "w");
    if (!file) return 1;
    for (int i = 0; i < argc; ++i) std::fprintf(file, "%s\n", argv[i]);
    std::fclose(file);
    // Appears whole or not at all.
    return std::rename(partial.c_str(), path.c_str()) == 0 ? 0 : 1;
}
