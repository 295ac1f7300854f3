#include "tests/support/scene/JpegDecode.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace viewtest {

namespace {

struct Recover {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* r = reinterpret_cast<Recover*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, r->text);
    std::longjmp(r->jump, 1);
}

}  // namespace

bool DecodeJpeg(const std::string& path, DecodedJpeg& out, std::string* why) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (why) *why = "cannot open " + path;
        return false;
    }
    jpeg_decompress_struct cinfo{};
    Recover err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        if (why) *why = err.text;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.rgb.assign(size_t(out.width) * out.height * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.rgb.data() + size_t(cinfo.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

}  // namespace viewtest
