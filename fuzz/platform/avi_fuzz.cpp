#include "platform/avifile/AviReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy so reads past the end land outside an exact-size heap block.
    std::vector<uint8_t> bytes(data, data + size);
    const auto avi = quor::avi::ParseAvi(bytes.data(), bytes.size());
    if (avi) {
        for (const auto& f : avi->frames) {
            volatile uint8_t sink = 0;
            for (uint32_t i = 0; i < f.size; ++i) sink = sink ^ bytes[f.dataOffset + i];
        }
    }
    return 0;
}
