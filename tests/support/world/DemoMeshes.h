#pragma once
// The meshes of the demo, as descriptions for the mesh writer: the demo's resource generator
// writes them and the model tests load them.
#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

// Two levels of detail of a textured box "body" (texture models\sample.png) and a transparent
// square "glass" drawn sorted, socket "top" above the box, a material block; vertex-animated
// (three key frames) when asked.
MeshDesc DemoSampleMesh(bool animated);
// The unit box that stands in for missing mesh files.
MeshDesc DemoDefaultBox();

}  // namespace quor::test
