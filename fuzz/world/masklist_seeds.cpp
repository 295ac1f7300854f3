// Seeds of masklist_fuzz: a grouped and a plain mask, skipped lines, an early end.
#include <string>

#include "fuzz/Seeds.h"
#include "world/scene/MaskList.h"

bool WriteSeeds() {
    const std::string texts[] = {
        "tree_1,10,20,30,40,0\r\ntree_2,50,20,30,40,0\r\nrock,300,100,64,32,0",
        "far,0,0,512,256,3\r\nnear,0,300,512,128,2\r\nbad,-1,0,5,5,0\r\n\r\nafter,1,1,1,1,0",
        "big,2147483646,0,1,1,0\r\nwrap,2147483647,0,1,1,0\r\nno comma\r\n",
    };
    bool ok = true;
    int i = 0;
    for (const std::string& text : texts) {
        quor::seeds::Seed("seed" + std::to_string(i++) + ".txt", std::vector<std::uint8_t>(text.begin(), text.end()));
        ok = !quor::world::ParseMaskList(text.data(), text.size()).empty() && ok;
    }
    return ok;
}
