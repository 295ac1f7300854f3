#pragma once
#include <filesystem>

// Writes annotations.jpg, annotation_drag.jpg and annotations.avi into `out` and checks them;
// 0 when every check passed.
int AnnotationDemo(const std::filesystem::path& out);
