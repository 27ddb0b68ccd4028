// Shared set-up of the fuzz targets: quiet output streams and a memory-backed input file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

/// Sends standard output (where diagnostics go) and the message stream to /dev/null, once.
void QuietOutput();
/// An open read stream over the bytes.
FILE* OpenBytes(const uint8_t* data, size_t size);
