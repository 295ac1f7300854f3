// Seeds of token_fuzz: a record of words, numbers and braces.
#include "fuzz/Seeds.h"

bool WriteSeeds() {
    quor::seeds::Seed("measure.txt", "MeasureData{ Type 3 ID 15\nPosition 40 20.5 -3 } x -1");
    return true;
}
