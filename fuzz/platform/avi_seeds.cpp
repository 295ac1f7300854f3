// Seeds of avi_fuzz: small uncompressed AVI files of 0, 1 and 3 frames from the RIFF writer.
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "fuzz/Seeds.h"
#include "platform/avifile/AviReader.h"
#include "platform/avifile/AviStream.h"
#include "platform/avifile/RiffAviWriter.h"

bool WriteSeeds() {
    using namespace quor::avi;
    bool ok = true;
    for (int frames : {0, 1, 3}) {
        const std::string path = quor::seeds::g_dir + "/writing.tmp";
        auto w = RiffAviWriter::Open(path, VideoFormat{3, 2, 24, 10});
        if (!w) return false;
        for (int i = 0; i < frames; ++i) {
            std::vector<std::uint8_t> f(w->FrameSize());
            for (std::size_t b = 0; b < f.size(); ++b) f[b] = static_cast<std::uint8_t>(i * 40 + b * 7);
            ok = AVIStreamWrite(w.get(), i, 1, f.data(), static_cast<long>(f.size()), AVIIF_KEYFRAME, nullptr,
                                nullptr) == AVIERR_OK && ok;
        }
        ok = w->Close() && ok;
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ::unlink(path.c_str());
        std::string why;
        ok = static_cast<bool>(ParseAvi(bytes.data(), bytes.size(), &why)) && ok;
        quor::seeds::Seed("seed" + std::to_string(frames) + ".avi", bytes);
    }
    return ok;
}
