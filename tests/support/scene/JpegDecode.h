#pragma once
// Decodes a JPEG file with libjpeg for checks on written frames: rows top first, 3 bytes a
// pixel (red, green, blue). Fails (false, with the reason) instead of ending the process.

#include <string>
#include <vector>

namespace viewtest {

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return rgb.data() + (size_t(y) * width + x) * 3; }
};

bool DecodeJpeg(const std::string& path, DecodedJpeg& out, std::string* why = nullptr);

}  // namespace viewtest
