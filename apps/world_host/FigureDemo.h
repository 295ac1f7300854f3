#pragma once
// The skeletal figure of --model played by --play and --upper: per frame the clip, its time,
// the popped key events and a few bone positions, and --pictures frames written as PNG.
#include <string>

namespace quor::host {
class GlRenderer;
}
namespace quor::world {
class IModel;
class IScene;
}

namespace quor::demo {

struct FigureDemoOptions {
    std::string play;     // the whole-body animation; empty: none
    std::string upper;    // the upper-body animation started a quarter into the run; empty: none
    int pictures = 0;     // frames written, spread over the run
    std::string picture;  // "dir/name.png": the frames go to "dir/name-1.png" ...
    int frames = 0;
};

class FigureDemo {
public:
    // Starts the whole-body animation and reports it. `model` may be null (nothing happens).
    // The scene gets a camera when it has none: without one it updates nothing.
    FigureDemo(world::IScene* scene, world::IModel* model, const FigureDemoOptions& options);
    // After frame `frame` (1-based) was drawn: the frame's report, the upper-body start, and
    // the frame's picture when one is due.
    void AfterFrame(int frame, host::GlRenderer* gl);

private:
    world::IModel* m_model = nullptr;
    FigureDemoOptions m_options;
    int m_written = 0;
    std::string m_lower;  // the clip the legs play on under the split
};

}  // namespace quor::demo
