#pragma once
#include <filesystem>

// Writes measure/dimensions.jpg, points.jpg, section.jpg and section-print.bmp under `out`,
// prints each value beside its closed form and the round trip of two "MeasureData" blocks;
// 0 when every check passed.
int MeasureDemo(const std::filesystem::path& out);
