// The kernel's token reader over arbitrary bytes: every call must end cleanly at the end.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "platform/kernel/TOKEN.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    TOKEN t(in);
    int i = 0;
    unsigned u = 0;
    WqVector3D v;
    for (int step = 0;; ++step) {
        int r;
        switch (step % 4) {
        case 0:
            r = t.GetToken();
            break;
        case 1:
            r = t.GetINT(i);
            break;
        case 2:
            r = t.GetUINT(u);
            break;
        default:
            r = t.GetCVector(v);
            break;
        }
        if (r == -1 && in.eof())
            break;
    }
    return 0;
}
