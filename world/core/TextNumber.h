#pragma once

namespace quor {

// atof and atoi as the C runtime does them in the "C" locale, whatever locale the
// process runs in: leading blanks skipped, the longest valid prefix read, junk is 0.
double TextToDouble(const char* text);
int TextToInt(const char* text);

}  // namespace quor
