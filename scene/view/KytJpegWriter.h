#pragma once
// JPEG output of captured frames. write_JPEG_file is the exported entry: a tightly packed,
// bottom-up block of red-green-blue pixels. KYT_WriteJpegImage is the general form the memory
// context uses for its own bitmap, whose rows may be padded and stored blue first.

#include <cstddef>

extern "C" int write_JPEG_file(const char* fileName, int quality, unsigned char* pixels,
                               unsigned int height, int width);

struct KytJpegImage {
    const unsigned char* pixels = nullptr;
    unsigned int height = 0;
    int width = 0;
    size_t stride = 0;       // bytes from one row to the next
    int bytesPerPixel = 3;   // 3, or 4 with an unused fourth byte
    bool blueFirst = false;  // pixels stored as blue, green, red (a DIB's order)
    bool bottomUp = true;    // first row in memory is the bottom of the picture
};

// 0 on success; -1 when the file cannot be opened, the image is unusable or the encoder
// fails. A failed file is removed; the reason goes to standard error.
int KYT_WriteJpegImage(const char* fileName, int quality, const KytJpegImage& image);
