#pragma once
// The part tree the measurement fuzz programs load against: links 1 to 3 share one small
// mesh (so a face found on one is found on every other), installed as the kernel's loaded
// model.
#include <memory>
#include <sstream>
#include <string>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/TOKEN.h"
#include "scene/annotation/CMeasureData.h"

namespace quor::fuzz {

inline KytModel& MeasureModel()
{
    static KytModel* model = [] {
        auto* m = new KytModel;
        KytShape* shape = m->AddShape(KytBuild::IndexedRep(
            {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {1.0f / 3, 1000.1f, -2.5f}},
            {}, {{0, 1, 2, -1, -1, -1}, {0, 3, 1, -1, -1, -1}, {3, 2, 1, -1, -1, -1}}));
        for (const char* name : {"a", "b", "c"})
            m->SetShape(m->AddLink(name), shape);
        KytEnv::pLoaded = m;
        return m;
    }();
    return *model;
}

inline int LoadMeasure(CMeasureData& m, const std::string& text)
{
    std::istringstream in(text);
    TOKEN token(in);
    return m.Load(token);
}

inline std::string SaveMeasure(const CMeasureData& m)
{
    std::ostringstream out;
    m.Save(out);
    return out.str();
}

}  // namespace quor::fuzz
