#pragma once
// Fixture of the scene tests: a clean window-system stand-in, the library-wide settings at
// their load values, the shared call log empty, and contexts on stand-in windows.

#include "tests/support/scene/SceneRecorders.h"

#include "platform/wgl/Wgl.h"

#include <gtest/gtest.h>

namespace scene_test {

class SceneFixture : public ::testing::Test {
protected:
    // Runs after the tests' own members are gone: the windows, device contexts and GL
    // contexts they left go with the stand-in.
    ~SceneFixture() override;
    void SetUp() override;
    void TearDown() override;

    // A recording context on a new stand-in window of the given client size.
    static RecordingOgl* NewOgl(int width, int height);
    // Makes the next context creations fail (or succeed again).
    static void FailContextCreation(bool fail);
    // How many GDI objects were selected into the context's device context so far.
    static int FontSelections(const KytOgl& ogl);
};

// Puts every library-wide setting of the scene family back to its value at load.
void ResetSceneStatics();

} // namespace scene_test
