#include "scene/view/KytJpegWriter.h"

#include <csetjmp>
#include <cstdio>

#include <sys/stat.h>

#include <jpeglib.h>

namespace {

// libjpeg's standard handler ends the process on any error; this one jumps back so that the
// writer can clean up and report failure instead.
struct RecoveringError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void RecoverFromError(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::fprintf(stderr, "JPEG encoder error: %s\n", text);
    std::longjmp(reinterpret_cast<RecoveringError*>(cinfo->err)->jump, 1);
}

J_COLOR_SPACE InputSpace(const KytJpegImage& image) {
    if (image.bytesPerPixel == 4) return image.blueFirst ? JCS_EXT_BGRX : JCS_EXT_RGBX;
    return image.blueFirst ? JCS_EXT_BGR : JCS_RGB;
}

// A failed frame leaves no half file behind; a device or other special file named as the
// output is only written to, never removed.
void RemoveFailedFile(const char* fileName) {
    struct stat st {};
    if (stat(fileName, &st) == 0 && S_ISREG(st.st_mode)) std::remove(fileName);
}

}  // namespace

int KYT_WriteJpegImage(const char* fileName, int quality, const KytJpegImage& image) {
    if (!fileName) {
        std::fprintf(stderr, "JPEG frame skipped: no file name\n");
        return -1;
    }
    if (!image.pixels || image.width <= 0 || image.height == 0 ||
        (image.bytesPerPixel != 3 && image.bytesPerPixel != 4) ||
        image.stride < static_cast<size_t>(image.width) * image.bytesPerPixel) {
        std::fprintf(stderr, "JPEG frame skipped: unusable pixel block for %s\n", fileName);
        return -1;
    }
    std::FILE* file = std::fopen(fileName, "wb");
    if (!file) {
        std::fprintf(stderr, "can't open %s\n", fileName);
        return -1;
    }

    // Nothing with a destructor lives between setjmp and the jump back.
    jpeg_compress_struct cinfo{};
    RecoveringError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = RecoverFromError;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        RemoveFailedFile(fileName);
        return -1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);

    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = image.height;
    cinfo.input_components = image.bytesPerPixel;
    cinfo.in_color_space = InputSpace(image);
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    while (cinfo.next_scanline < cinfo.image_height) {
        const size_t row = image.bottomUp ? image.height - 1 - cinfo.next_scanline
                                          : cinfo.next_scanline;
        JSAMPROW pointer = const_cast<JSAMPROW>(image.pixels + row * image.stride);
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fclose(file) != 0) {
        std::fprintf(stderr, "can't write %s\n", fileName);
        RemoveFailedFile(fileName);
        return -1;
    }
    return 0;
}

extern "C" int write_JPEG_file(const char* fileName, int quality, unsigned char* pixels,
                               unsigned int height, int width) {
    KytJpegImage image;
    image.pixels = pixels;
    image.height = height;
    image.width = width;
    image.stride = width > 0 ? static_cast<size_t>(width) * 3 : 0;
    return KYT_WriteJpegImage(fileName, quality, image);
}
