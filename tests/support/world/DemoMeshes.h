#pragma once
// The meshes of the demo and the model tests, as descriptions for the mesh writer: the demo's
// resource generator writes them and the model tests load them.
#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

// Two levels of detail of a textured box "body" (texture models\sample.png) and a transparent
// square "glass" drawn sorted, socket "top" above the box, a material block; vertex-animated
// (three key frames) when asked.
MeshDesc DemoSampleMesh(bool animated);
// The unit box that stands in for missing mesh files.
MeshDesc DemoDefaultBox();
// The garden's sky: the unit box seen from inside and out, textured from the zenith's blue
// down to a pale horizon ("models/garden_sky.tga"), unlit.
MeshDesc DemoGardenSky();
// One square sub-mesh "body" in the plane z = 0 (x, y in [-1, 1]) of the given mesh type, one
// LOD, one socket "top", a material block without stages.
MeshDesc SquareMesh(std::uint16_t type = 0);

}  // namespace quor::test
