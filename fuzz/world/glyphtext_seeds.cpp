// Seeds of glyphtext_fuzz: a mode byte, then ASCII, GBK, line feeds, spaces and a lone lead byte.
#include "fuzz/Seeds.h"

bool WriteSeeds() {
    using quor::seeds::Seed;
    Seed("ascii", std::string_view("\x00" "Hello world", 12));
    Seed("gbk", "\x02\xD6\xD0\xCE\xC4 sample\n\xD1\xF9\xC0\xFD");
    Seed("mono_wrap", "\x0F" "a b c d e f g h i j k l m n o p");
    Seed("lone_lead", "\x03" "ab\xD6");
    Seed("spaces", "\x04     \n\n  ");
    return true;
}
