#pragma once
// Tremor trusts the codebooks of a stream's setup header: a codebook of zero dimensions makes it
// divide by zero while decoding (the process dies of SIGFPE). The setup header is read here first,
// and a stream that carries such a codebook is never handed to the library.
#include "audio/stream/input_file.h"

// False when the first logical stream's setup header holds a codebook the decoder cannot use.
// Anything this check does not understand (a short file, a header cut off) is left for the
// library to judge. Leaves the file's position undefined.
bool vorbis_codebooks_usable(InputFile& file);
