// Seeds of ini_fuzz: a file with every kind of line the reader tells apart, and its saved form.
#include "fuzz/Seeds.h"

bool WriteSeeds() {
    using quor::seeds::Seed;
    Seed("edge.ini",
         "a=1\r\n  [Main]\t \r\nspeed = 1.5\n[Main\r\nflag\r=5\r\n\r\n// comment=1\r\n; comment=2\r\nx\r\n"
         "key = value with = sign\r\n[Other]\r\ny=\r\n[main]\r\ndup=1\r\ndup=2\r\n\xC4\xA3=\xD0\xCD\r\ntail = end");
    Seed("saved.ini", "a=1\r\n\r\n[Main]\r\nspeed=1.5\r\nflag=\r\n\r\n[Other]\r\ny=\r\n\r\n");
    return true;
}
