#include "scene/view/KytOglMem.h"


#include <cstdint>
#include <cstdio>

namespace {

constexpr uint32_t kHeaderBytes = 14 + 40;
const char kWriteError[] = "Bitmap file write error.";

void PutLE16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v) {
    PutLE16(p, v);
    PutLE16(p + 2, v >> 16);
}

bool Refuse() {
    KYT_OutPutMessage(1162, kWriteError, 0);
    return false;
}

}  // namespace

bool write_BMP_file(const char* fileName, BITMAPINFO info, unsigned long imageSize, void* bits) {
    const BITMAPINFOHEADER& h = info.bmiHeader;
    if (!fileName) {
        std::fprintf(stderr, "bitmap frame skipped: no file name\n");
        return Refuse();
    }
    // The file carries no colour table and no bit-field masks (its pixels start right after
    // the 40-byte header), so only plain 16, 24 and 32-bit pixels make a readable file.
    if (h.biSize != 40 || h.biCompression != BI_RGB ||
        (h.biBitCount != 16 && h.biBitCount != 24 && h.biBitCount != 32))
        return Refuse();
    if (imageSize > 0xFFFFFFFFUL - kHeaderBytes || (imageSize && !bits)) return Refuse();

    uint8_t head[kHeaderBytes] = {'B', 'M'};
    PutLE32(head + 2, static_cast<uint32_t>(imageSize) + kHeaderBytes);
    PutLE32(head + 10, kHeaderBytes);
    uint8_t* ih = head + 14;
    PutLE32(ih + 0, h.biSize);
    PutLE32(ih + 4, static_cast<uint32_t>(h.biWidth));
    PutLE32(ih + 8, static_cast<uint32_t>(h.biHeight));
    PutLE16(ih + 12, h.biPlanes);
    PutLE16(ih + 14, h.biBitCount);
    PutLE32(ih + 16, h.biCompression);
    PutLE32(ih + 20, h.biSizeImage);
    PutLE32(ih + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    PutLE32(ih + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    PutLE32(ih + 32, h.biClrUsed);
    PutLE32(ih + 36, h.biClrImportant);

    try {
        CFile file;
        // A file that did not open fails at its first write.
        file.Open(fileName, CFile::modeCreate | CFile::modeWrite);
        file.Write(head, kHeaderBytes);
        file.Write(bits, static_cast<unsigned int>(imageSize));
        file.Close();
    } catch (CFileException* e) {
        e->Delete();
        return Refuse();
    }
    return true;
}
