// Run-length coding of the 8-bit PCX skin. The quantizer and the file writer
// are operations of QuakeExportUtility (core/quake_export_utility.h).
#pragma once

#include <cstdint>
#include <cstdio>

// Longest run one PCX count byte can carry.
constexpr int32_t kPcxMaxRun = 63;

// Encodes one row of width indices; runs never cross the row and are at most
// kPcxMaxRun long. Returns the bytes written, 0 when a write failed (the row's
// output then ends) or the row is empty.
int32_t EncodePcxRow(const uint8_t* row, int32_t width, std::FILE* file);

// Writes count copies of value: the value alone when count is 1 and the value
// is below 0xC0, else 0xC0 + count and the value. Returns the bytes written
// (1 or 2); 0 when a write failed, or when count is outside 1..kPcxMaxRun, in
// which case nothing is written.
int32_t WritePcxRun(uint8_t value, int32_t count, std::FILE* file);
