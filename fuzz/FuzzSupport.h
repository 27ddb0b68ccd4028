// Shared set-up of the fuzz targets: a quiet output stream and a memory-backed input file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

/// A stream to /dev/null for diagnostics and messages, opened once (and the "C" locale).
FILE* QuietOutput();
/// An open read stream over the bytes.
FILE* OpenBytes(const uint8_t* data, size_t size);
