#include "audio/memory_status.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<MemorySource> memory_source{nullptr};

// Parses "MemAvailable:   123456 kB" out of the text of /proc/meminfo.
uint64_t parse_available(const char* text) {
    const char* line = std::strstr(text, "MemAvailable:");
    if (line == nullptr) return 0;
    return std::strtoull(line + 13, nullptr, 10) * 1024;
}

uint64_t read_meminfo() {
    // The file stays open: re-reading from offset 0 regenerates it, and saves two system calls on
    // every queued block.
    static const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[4096];
    const ssize_t got = ::pread(fd, text, sizeof(text) - 1, 0);
    if (got <= 0) return 0;
    text[got] = '\0';
    return parse_available(text);
}

}  // namespace

uint64_t available_physical_memory() {
    if (MemorySource source = memory_source.load()) return source();
    return read_meminfo();
}

void set_memory_source(MemorySource source) { memory_source.store(source); }
