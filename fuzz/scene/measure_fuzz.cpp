// The "MeasureData" reader over arbitrary text: a refused block leaves the object as it was;
// an accepted one saves to text that loads again and saves to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/scene/MeasureModel.h"

namespace {
bool SameBits(const WqVector3D& a, const WqVector3D& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameLoadedState(const CMeasureData& a, const CMeasureData& b)
{
    if (a.MeasureType != b.MeasureType || a.SnapType != b.SnapType)
        return false;
    for (int i = 0; i < 2; ++i)
        if (a.PointType[i] != b.PointType[i] || a.PointLink[i] != b.PointLink[i] ||
            a.PointTriangle[i] != b.PointTriangle[i] ||
            !SameBits(a.SavedPosition[i], b.SavedPosition[i]) ||
            !SameBits(a.SavedNormal[i], b.SavedNormal[i]))
            return false;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KytModel& model = quor::fuzz::MeasureModel();
    KytLink* link = model.FindLink(2);
    CMeasureData prior;
    prior.MeasureType = 3;
    prior.SnapType = 1;
    prior.PointType[1] = 5;
    prior.PointLink[1] = link;
    prior.PointTriangle[1] = &link->pShape->GetRep()->aTriangle[2];
    prior.SavedPosition[1] = {0.1, -0.0, 1e300};

    CMeasureData m(prior);
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (quor::fuzz::LoadMeasure(m, text) != 0) {
        if (!SameLoadedState(m, prior))
            std::abort();
        return 0;
    }
    const std::string saved = quor::fuzz::SaveMeasure(m);
    CMeasureData again;
    if (quor::fuzz::LoadMeasure(again, saved) != 0 || quor::fuzz::SaveMeasure(again) != saved)
        std::abort();
    return 0;
}
