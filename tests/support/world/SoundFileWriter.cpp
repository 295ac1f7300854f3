#include "tests/support/world/SoundFileWriter.h"

namespace quor::test {

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<std::uint8_t> WriteSilentWav(std::uint32_t samples, std::uint32_t rate) {
    const std::uint32_t data = samples * 2;
    std::vector<std::uint8_t> out;
    PutTag(out, "RIFF");
    Put32(out, 36 + data);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, rate);
    Put32(out, rate * 2);
    Put16(out, 2);
    Put16(out, 16);
    PutTag(out, "data");
    Put32(out, data);
    out.resize(out.size() + data, 0);
    return out;
}

}  // namespace quor::test
