// The "MeasureData" text of 10^4 measurements between faces of small boxes, whose numbers are
// no short decimals: Save of all blocks into one stream, Load of all of them back, and both,
// against a bare loop that writes the same numbers with to_chars and reads them with strtod.

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/TOKEN.h"
#include "scene/annotation/CMeasureData.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kBlocks = 10000;

// A stream buffer over memory the caller keeps, so that neither side of the comparison pays
// for a growing or copied buffer: the bare loop writes into a reused string too.
class MemoryBuf : public std::streambuf {
public:
    void Write(std::vector<char>& memory) { setp(memory.data(), memory.data() + memory.size()); }
    size_t Written() const { return static_cast<size_t>(pptr() - pbase()); }
    void Read(const std::string& text)
    {
        char* p = const_cast<char*>(text.data());
        setg(p, p, p + text.size());
    }
};

class Texts {
public:
    static Texts& Get()
    {
        static Texts texts;
        return texts;
    }

    // Writes every block into `memory`; the number of bytes written.
    size_t Save(std::vector<char>& memory) const
    {
        MemoryBuf buf;
        buf.Write(memory);
        std::ostream os(&buf);
        for (const CMeasureData& m : blocks_)
            m.Save(os);
        return os ? buf.Written() : 0;
    }

    bool Load(const std::string& text) const
    {
        MemoryBuf buf;
        buf.Read(text);
        std::istream in(&buf);
        TOKEN token(in);
        CMeasureData m;
        for (int i = 0; i < kBlocks; ++i)
            if (m.Load(token))
                return false;
        return true;
    }

    // The same numbers, the same shortest texts, one blank apart, read back with strtod.
    void BareWrite(std::string& out) const
    {
        out.clear();
        char buf[32];
        for (double v : numbers_) {
            const auto r = std::to_chars(buf, buf + sizeof buf, v);
            out.append(buf, r.ptr);
            out += ' ';
        }
    }
    double BareRead(const std::string& text) const
    {
        double sum = 0;
        const char* p = text.c_str();
        for (size_t i = 0; i < numbers_.size(); ++i) {
            char* end = nullptr;
            sum += std::strtod(p, &end);
            p = end;
        }
        return sum;
    }

    const std::string& SavedText() const { return saved_; }

private:
    Texts()
    {
        KytLink* root = model_.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        std::mt19937 rng(8);
        std::uniform_real_distribution<double> u(-500, 500);
        std::vector<KytLink*> links;
        for (int i = 0; i < 8; ++i)
            links.push_back(KytBuild::AddBox(model_, "box", root, {u(rng), u(rng), u(rng)},
                                             u(rng) / 3 + 501, u(rng) / 7 + 501, 1000.1));
        model_.UpdatePlacements();
        KytEnv::pLoaded = &model_;
        blocks_.resize(kBlocks);
        for (int b = 0; b < kBlocks; ++b) {
            CMeasureData& m = blocks_[b];
            m.MeasureType = b % 4;
            for (int i = 0; i < 2; ++i) {
                KytLink* link = links[(b + 3 * i) % links.size()];
                m.PointLink[i] = link;
                m.PointType[i] = 4;
                m.PointTriangle[i] = &link->pShape->GetRep()->aTriangle[(b + i) % 12];
                m.SavedPosition[i] = {u(rng) / 3, u(rng) / 7, u(rng) / 9};
                m.SavedNormal[i] = {u(rng) / 1000, u(rng) / 1000, u(rng) / 1000};
                for (int k = 0; k < 3; ++k) {
                    numbers_.push_back(m.SavedPosition[i][k]);
                    numbers_.push_back(m.SavedNormal[i][k]);
                }
                for (int v = 0; v < 3; ++v)
                    for (int k = 0; k < 3; ++k)
                        numbers_.push_back(m.PointTriangle[i]->pVertex[v]->fv()[k]);
            }
        }
        std::vector<char> memory(1 << 24);
        saved_.assign(memory.data(), Save(memory));
    }

    KytModel model_;
    std::vector<CMeasureData> blocks_;
    std::vector<double> numbers_;
    std::string saved_;
};

void MeasureSave(benchmark::State& state)
{
    Texts& t = Texts::Get();
    std::vector<char> memory(1 << 24);
    for (auto _ : state)
        if (t.Save(memory) != t.SavedText().size())
            state.SkipWithError("the text did not fit");
}

void MeasureLoad(benchmark::State& state)
{
    Texts& t = Texts::Get();
    for (auto _ : state)
        if (!t.Load(t.SavedText()))
            state.SkipWithError("a block did not load");
}

void MeasureBoth(benchmark::State& state)
{
    Texts& t = Texts::Get();
    std::vector<char> memory(1 << 24);
    std::string text;
    text.reserve(memory.size());
    for (auto _ : state) {
        text.assign(memory.data(), t.Save(memory));
        if (!t.Load(text))
            state.SkipWithError("a block did not load");
    }
}

void MeasureRef(benchmark::State& state)
{
    Texts& t = Texts::Get();
    std::string out;
    out.reserve(1 << 24);
    for (auto _ : state) {
        t.BareWrite(out);
        benchmark::DoNotOptimize(t.BareRead(out));
    }
}

}  // namespace

BENCHMARK(MeasureSave)->Name("MeasureText.save")->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureLoad)->Name("MeasureText.load")->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureBoth)->Name("MeasureText.both")->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureRef)->Name("MeasureText.ref")->Unit(benchmark::kMillisecond);
