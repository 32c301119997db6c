#pragma once
// Available physical memory, as the buffer's overflow guard asks for it before queueing a block.
#include <cstdint>

// MemAvailable from /proc/meminfo in bytes; 0 when it cannot be read.
uint64_t available_physical_memory();

// Tests replace the source to simulate a machine short of memory; nullptr restores the real one.
using MemorySource = uint64_t (*)();
void set_memory_source(MemorySource source);
