#pragma once

namespace quor {

// atof and atoi as the module reads numbers in its files, whatever locale the process runs
// in: leading blanks skipped, an optional sign, the longest decimal prefix read, junk reads 0.
// Only decimal forms count: "nan", "inf" and "infinity" read 0, and so does a result beyond
// the range of a double ("1e400"), so no non-finite value gets into positions or matrices.
// Integers beyond the int range saturate at INT_MIN or INT_MAX. The reference host's XML
// attribute readers follow the same rules.
double TextToDouble(const char* text);
int TextToInt(const char* text);

}  // namespace quor
