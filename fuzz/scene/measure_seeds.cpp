// Seeds of measure_fuzz: blocks that reach every keyword, each of which must load.
#include "fuzz/Seeds.h"
#include "fuzz/scene/MeasureModel.h"

bool WriteSeeds()
{
    quor::fuzz::MeasureModel();
    const char* const seeds[][2] = {
        {"example.txt",
         "  MeasureData {\n   Type 0\n   Snap 0\n   PointData0 {\n    ID 1\n    Type 4\n"
         "    Position 10 20.5 -3\n    Normal 0 0 1\n    Faceset {\n     Vertex0 0 0 0\n"
         "     Vertex1 10 0 0\n     Vertex2 0 10 0\n    }\n   }\n   PointData1 {\n    ID 3\n"
         "    Type 3\n    Position 40 20.5 -3\n    Normal 0 0 0\n   }\n  }\n"},
        {"exact.txt",
         "MeasureData{Type 2 Snap 2 PointData1{ID 2 Type 6 Position 0.3333333333333333 -0 1e-300 "
         "Normal 1e+300 5e-324 -2 Faceset{Vertex2 0.3333333432674408 1000.0999755859375 -2.5 "
         "Vertex0 10 0 0 Vertex1 0 0 0}}}"},
        {"skipped.txt", "Type 5 Other { PointData0 { Type 9 ID 3 Extra } Type 4 }"},
    };
    bool allLoad = true;
    for (const auto& seed : seeds) {
        quor::seeds::Seed(seed[0], std::string_view(seed[1]));
        CMeasureData m;
        if (quor::fuzz::LoadMeasure(m, seed[1]) != 0) {
            std::fprintf(stderr, "seed %s does not load\n", seed[0]);
            allLoad = false;
        }
    }
    return allLoad;
}
