#include "platform/glrender/GlRenderer.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/glrender/GlFixture.h"

namespace quor::host::test {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr std::uint32_t kClear = 0xFF000040;  // dark blue

using Rgb = std::array<int, 3>;

class GlDraw : public ::testing::Test {
protected:
    GlDraw() : quads(device) {
        gl.Attach(&files, nullptr);
        Aim(camera, kWidth, kHeight);
        technique = LitTechnique(gl);
        stream = quads.MakeStream(gl);
    }

    Rgb At(const std::vector<std::uint8_t>& pixels, float x, float y) const {
        const std::size_t at = (std::size_t(int(y)) * kWidth + std::size_t(int(x))) * 4;
        return {pixels[at], pixels[at + 1], pixels[at + 2]};
    }
    static void Near(const Rgb& got, const Rgb& want, const char* what) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got[c], want[c], 6) << what << " channel " << c << " (" << got[0] << "," << got[1] << ","
                                            << got[2] << ")";
    }
    // Draws the renderables in order with the light set and gives back the pixels.
    std::vector<std::uint8_t> Frame(const std::vector<render::IRenderable*>& list, const GlLightSet* lights = nullptr) {
        EXPECT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
        gl.SetLightSet(lights);
        for (render::IRenderable* r : list) gl.Submit(r);
        stats = gl.EndFrame();
        return gl.ReadPixels();
    }

    d3d9::IDirect3DDevice9 device;
    MemoryFileSystem files;
    GlRenderer gl;
    RenderCamera camera;
    QuadBuffers quads;
    render::IEffect* technique = nullptr;
    render::IVertexBuffer* stream = nullptr;
    GlFrameStats stats;
};

TEST_F(GlDraw, OpaqueTransparentAndTexturedLandWhereTheCameraProjects) {
    // A 2x2 checker: white and black on the top row, black and white below.
    const std::uint8_t checker[16] = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255};
    std::vector<std::uint8_t> png;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        },
        &png, 2, 2, 4, checker, 8);
    files.AddFile("tex/checker.png", std::move(png));

    render::IMaterial* red = ColourMaterial(gl, technique, 1, 0, 0, 1);
    render::IMaterial* green = ColourMaterial(gl, technique, 0, 1, 0, 0.5f);
    green->SetTransparent(true);
    render::IMaterial* textured = ColourMaterial(gl, technique, 1, 1, 1, 1);
    render::ITexture* texture = gl.LoadTexture("tex/checker.png", 0, 0, -3, 0, 0, 0);
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(textured->SetTexture("Tex0", texture));

    const auto redAt = Placed(1.0f, -1.2f, 0.0f, 6.0f);
    const auto greenAt = Placed(1.0f, -0.4f, 0.0f, 5.0f);  // nearer, over the red one's right part
    const auto checkerAt = Placed(1.0f, 1.8f, 0.0f, 6.0f);
    render::IRenderable* r = Quad(gl, stream, kFront, red, redAt);
    render::IRenderable* g = Quad(gl, stream, kFront, green, greenAt);
    render::IRenderable* t = Quad(gl, stream, kFront, textured, checkerAt);
    // The transparent one first: it still draws after the opaque pass.
    const auto pixels = Frame({g, r, t});
    EXPECT_EQ(stats.renderables, 3);
    EXPECT_EQ(stats.triangles, 6);
    EXPECT_EQ(stats.approximated, 0);

    const Box rb = Projected(camera, redAt), gb = Projected(camera, greenAt), tb = Projected(camera, checkerAt);
    Near(At(pixels, rb.x0 + 3, (rb.y0 + rb.y1) / 2), {255, 0, 0}, "red alone");
    Near(At(pixels, rb.x0 - 3, (rb.y0 + rb.y1) / 2), {0, 0, 64}, "left of red");
    Near(At(pixels, (gb.x0 + rb.x1) / 2, (gb.y0 + gb.y1) / 2), {128, 128, 0}, "green over red blends half and half");
    Near(At(pixels, gb.x1 - 3, gb.y0 + 3), {0, 128, 32}, "green over the clear colour");
    Near(At(pixels, (gb.x0 + gb.x1) / 2, gb.y0 - 3), {0, 0, 64}, "above green");
    const float qx = (tb.x1 - tb.x0) / 4, qy = (tb.y1 - tb.y0) / 4;
    Near(At(pixels, tb.x0 + qx, tb.y0 + qy), {255, 255, 255}, "checker top left");
    Near(At(pixels, tb.x1 - qx, tb.y0 + qy), {0, 0, 0}, "checker top right");
    Near(At(pixels, tb.x0 + qx, tb.y1 - qy), {0, 0, 0}, "checker bottom left");
    Near(At(pixels, tb.x1 - qx, tb.y1 - qy), {255, 255, 255}, "checker bottom right");
    Near(At(pixels, tb.x1 + 3, (tb.y0 + tb.y1) / 2), {0, 0, 64}, "right of the checker");
}

// A renderable with a camera of its own (a sky) draws with that camera's depth range, from
// inside, and behind everything else whatever the order of the submits.
TEST_F(GlDraw, ARenderableWithItsOwnCameraLiesBehindTheScene) {
    render::IMaterial* red = ColourMaterial(gl, technique, 1, 0, 0, 1);
    render::IMaterial* blue = ColourMaterial(gl, technique, 0, 0, 1, 1);
    // Beyond the frame camera's far plane (100) and facing away: only its own camera shows it.
    const auto skyAt = Placed(400.0f, 0.0f, 0.0f, 150.0f);
    const auto redAt = Placed(1.0f, 0.0f, 0.0f, 6.0f);
    RenderCamera own;
    own.SetViewMatrix(camera.GetViewMatrix());
    own.SetProjectionMatrix(camera.GetProjectionMatrix());
    own.SetDepthRange(1.0f, 300.0f);
    render::IRenderable* object = Quad(gl, stream, kFront, red, redAt);
    render::IRenderable* sky = Quad(gl, stream, kBack, blue, skyAt);
    sky->SetRenderCamera(&own);
    const auto pixels = Frame({object, sky});
    const Box rb = Projected(camera, redAt);
    Near(At(pixels, (rb.x0 + rb.x1) / 2, (rb.y0 + rb.y1) / 2), {255, 0, 0}, "the object over the sky");
    Near(At(pixels, 3, 3), {0, 0, 255}, "the sky around it");
    Near(At(pixels, kWidth - 3, kHeight - 3), {0, 0, 255}, "the sky in the other corner");
    // Without its own camera it lies beyond the far plane, facing away: nothing of it shows.
    sky->SetRenderCamera(nullptr);
    const auto plain = Frame({object, sky});
    Near(At(plain, 3, 3), {0, 0, 64}, "the clear colour");
    gl.ReleaseRenderable(sky);
    gl.ReleaseRenderable(object);
    gl.ReleaseMaterial(blue);
    gl.ReleaseMaterial(red);
}

TEST_F(GlDraw, BackFacesAreCulledAlphaTestedPixelsDroppedAndTheNearerHidesTheFarther) {
    render::IMaterial* red = ColourMaterial(gl, technique, 1, 0, 0, 1);
    render::IMaterial* blue = ColourMaterial(gl, technique, 0, 0, 1, 1);
    const auto left = Placed(1.0f, -1.5f, 0.0f, 6.0f);
    const auto far = Placed(1.0f, 1.0f, 0.0f, 8.0f);
    const auto near = Placed(0.5f, 1.0f, 0.0f, 5.0f);
    // Alpha 0.25 against an alpha test passing 128 and above: nothing lands.
    render::IMaterial* faint = ColourMaterial(gl, technique, 0, 1, 0, 0.25f);
    faint->SetAlphaTest(1);
    faint->SetAlphaTestValues(128, 7);
    const auto below = Placed(0.5f, -1.5f, -1.6f, 6.0f);
    render::IRenderable* back = Quad(gl, stream, kBack, red, left);
    render::IRenderable* nearer = Quad(gl, stream, kFront, blue, near);
    render::IRenderable* farther = Quad(gl, stream, kFront, red, far);
    render::IRenderable* tested = Quad(gl, stream, kFront, faint, below);
    const auto pixels = Frame({back, nearer, farther, tested});
    const Box lb = Projected(camera, left), nb = Projected(camera, near), fb = Projected(camera, far);
    const Box tb = Projected(camera, below);
    Near(At(pixels, (tb.x0 + tb.x1) / 2, (tb.y0 + tb.y1) / 2), {0, 0, 64}, "alpha-tested away");
    Near(At(pixels, (lb.x0 + lb.x1) / 2, (lb.y0 + lb.y1) / 2), {0, 0, 64}, "back face");
    Near(At(pixels, (nb.x0 + nb.x1) / 2, (nb.y0 + nb.y1) / 2), {0, 0, 255}, "nearer, submitted first");
    Near(At(pixels, fb.x0 + 2, fb.y0 + 2), {255, 0, 0}, "farther, outside the nearer");
    EXPECT_EQ(stats.renderables, 4);  // culled and tested away by GL, still drawn
}

TEST_F(GlDraw, ALitFaceIsBrighterThanOneFacingAwayAndUnlitWithoutALightSet) {
    render::IMaterial* white = ColourMaterial(gl, technique, 0.8f, 0.8f, 0.8f, 1);
    const auto left = Placed(1.0f, -1.2f, 0.0f, 6.0f);
    const auto right = Placed(1.0f, 1.2f, 0.0f, 6.0f);
    render::IRenderable* toward = Quad(gl, stream, kFront, white, left);
    render::IRenderable* away = Quad(gl, stream, kFront, white, right);
    GlLightSet front;  // travelling +z: onto the faces, which face -z
    front.lights.push_back(GlLight{});
    front.ambient[0] = front.ambient[1] = front.ambient[2] = 0.1f;
    GlLightSet behind = front;
    behind.lights[0].direction[2] = -1.0f;
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.SubmitRenderable(toward, &front);
    gl.SubmitRenderable(away, &behind);
    gl.EndFrame();
    const auto pixels = gl.ReadPixels();
    const Box lb = Projected(camera, left), rb = Projected(camera, right);
    const Rgb lit = At(pixels, (lb.x0 + lb.x1) / 2, (lb.y0 + lb.y1) / 2);
    const Rgb dark = At(pixels, (rb.x0 + rb.x1) / 2, (rb.y0 + rb.y1) / 2);
    EXPECT_GT(lit[0], 180);
    EXPECT_LT(dark[0], 60);
    // No light set: the material's colour as it is.
    const auto unlit = Frame({toward});
    Near(At(unlit, (lb.x0 + lb.x1) / 2, (lb.y0 + lb.y1) / 2), {204, 204, 204}, "unlit");
}

// The model techniques' stage 0: texture factor times texture, colour and alpha; the lit
// colour is not among its arguments.
render::IEffect* ModelLikeTechnique(render::IRenderer& r) { return StageZeroTechnique(r, "<TestModelTech>", 3, 2); }

// The lights as the module hands them over: its light set and light state given to a render
// view it makes current. Submits of a host that sets no light set draw with them, whatever
// stage 0 of their technique combines.
TEST_F(GlDraw, SubmitsTakeTheLightsOfTheModulesCurrentView) {
    render::ILightSet* set = gl.CreateLightSet();
    render::IRenderLight* sun = set->GetLight(set->CreateLight(3, 0xFFFF));
    ASSERT_NE(sun, nullptr);
    const float white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
    sun->SetDiffuse(white);
    sun->SetSpecular(none);  // operation 6: the light's ambient colour
    sun->SetEnabled(true);
    render::ISceneLightState* state = gl.CreateSceneLightState();
    state->SetAmbientColour(0xFF000000u);
    render::IRenderView* view = gl.CreateRenderView(1);
    view->SetLights(set, state);
    gl.SetCurrentView(view);
    const auto at = Placed(1.0f, 0.0f, 0.0f, 6.0f);
    const Box b = Projected(camera, at);
    const float onto[3] = {0, 0, 1}, away[3] = {0, 0, -1};  // the quad faces -z
    const struct {
        const char* name;
        render::IEffect* technique;
        int unlit;  // the material alone
    } cases[] = {{"stage 0 takes the lit colour", technique, 204}, {"stage 0 leaves it out", ModelLikeTechnique(gl), 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        render::IRenderable* quad = Quad(gl, stream, kFront, ColourMaterial(gl, c.technique, 0.8f, 0.8f, 0.8f, 1), at);
        sun->SetDirection(onto);
        const Rgb lit = At(Frame({quad}), (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2);
        Near(lit, {204, 204, 204}, "lit head-on");
        sun->SetDirection(away);
        const Rgb shaded = At(Frame({quad}), (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2);
        EXPECT_LT(shaded[0], 20) << "in shade";
        // The light's ambient lights the side facing away as much as the material's ambient takes.
        const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
        sun->SetSpecular(grey);
        render::IMaterial* ambient = ColourMaterial(gl, c.technique, 0.8f, 0.8f, 0.8f, 1);
        ambient->SetColours(white, white, none, none, 0);
        render::IRenderable* lifted = Quad(gl, stream, kFront, ambient, at);
        Near(At(Frame({lifted}), (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2), {128, 128, 128}, "ambient only");
        sun->SetSpecular(none);
        // Switched off, the set lights nothing: the material as it is.
        sun->SetEnabled(false);
        const int unlit = c.unlit;
        Near(At(Frame({quad}), (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2), {unlit, unlit, unlit}, "no light on");
        sun->SetEnabled(true);
    }
    // Another view made current without lights keeps the lights last given.
    gl.SetCurrentView(gl.CreateRenderView(1));
    sun->SetDirection(away);
    render::IRenderable* kept = Quad(gl, stream, kFront, ColourMaterial(gl, technique, 0.8f, 0.8f, 0.8f, 1), at);
    EXPECT_LT(At(Frame({kept}), (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2)[0], 20) << "a view without lights";
}

// The reference terrain paints its ground through the renderer when the world renders it:
// grass, lit by the submits' lights, a point light's pool ending at its range.
TEST_F(GlDraw, TheFlatTerrainPaintsItsGroundLitAndAPointLightEndsAtItsRange) {
    std::unique_ptr<FlatTerrain> terrain = FlatTerrain::Parse("flat 60 -2");
    ASSERT_NE(terrain, nullptr);
    terrain->painter = &gl;
    GlLightSet lamp;
    lamp.ambient[0] = lamp.ambient[1] = lamp.ambient[2] = 0.5f;
    GlLight point;
    point.kind = 1;
    point.position[0] = 0, point.position[1] = -1, point.position[2] = 8;
    point.range = 3.0f;
    lamp.lights.push_back(point);
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.SetLightSet(&lamp);
    terrain->Render();
    stats = gl.EndFrame();
    gl.SetLightSet(nullptr);
    EXPECT_EQ(stats.grounds, 1);
    EXPECT_EQ(terrain->calls.back(), "Render");
    const auto pixels = gl.ReadPixels();
    const Box under = Projected(camera, Placed(0.01f, 0.0f, -2.0f, 8.0f));
    const Box beyond = Projected(camera, Placed(0.01f, 0.0f, -2.0f, 20.0f));
    const Rgb pool = At(pixels, under.x0, under.y0), dim = At(pixels, beyond.x0, beyond.y0);
    for (const Rgb& p : {pool, dim}) EXPECT_GT(p[1], std::max(p[0], p[2])) << "grass green";
    EXPECT_GT(pool[1], dim[1] + 60) << "under the lamp";
    Near(dim, {38, 64, 26}, "ambient alone beyond the range");
    // Above the horizon the clear colour.
    Near(At(pixels, kWidth / 2, 5), {0, 0, 64}, "sky");
    // Without a painter the terrain only records.
    terrain->painter = nullptr;
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    terrain->Render();
    EXPECT_EQ(gl.EndFrame().grounds, 0);
}

TEST_F(GlDraw, VertexColoursBlendStatesAndApproximatedTechniques) {
    QuadBuffers coloured(device, 0xFFFF8000u);  // ARGB orange: the byte order shows
    render::IVertexBuffer* colourStream = coloured.MakeStream(gl);
    render::IMaterial* white = ColourMaterial(gl, technique, 1, 1, 1, 1);
    const auto left = Placed(1.0f, -1.2f, 0.0f, 6.0f);
    const auto right = Placed(1.0f, 1.2f, 0.0f, 6.0f);
    render::IRenderable* vertexColoured = Quad(gl, colourStream, kFront, white, left);
    // An effect without a description draws as the normal model technique: texture (white)
    // times the texture factor (white), whatever the material's colour.
    render::IEffect* unknown = gl.CreateEffect();
    render::IMaterial* other = ColourMaterial(gl, unknown, 1, 0, 0, 1);
    render::IRenderable* approximated = Quad(gl, stream, kFront, other, right);
    // An additive blend state (one, one) over the clear colour.
    render::IRenderState* additive = gl.CreateBlendState();
    additive->SetBlend(true, 2, 2);
    vertexColoured->SetBlendState(additive);
    const auto pixels = Frame({vertexColoured, approximated});
    EXPECT_EQ(stats.approximated, 1);
    const Box lb = Projected(camera, left), rb = Projected(camera, right);
    Near(At(pixels, (lb.x0 + lb.x1) / 2, (lb.y0 + lb.y1) / 2), {255, 128, 64}, "vertex orange added to the clear colour");
    Near(At(pixels, (rb.x0 + rb.x1) / 2, (rb.y0 + rb.y1) / 2), {255, 255, 255}, "approximated");
}

// The model templates' shape: stage 0 = texture x texture factor, a later stage passing the
// colour on, the factor and the colour operation editable through material parameters.
TEST_F(GlDraw, TextureFactorAndStageOperationComeFromTheMaterialParameters) {
    using S = render::TechniqueState;
    const S states[] = {{S::kDepth, 0, 1, 1},
                        {S::kStage, 0, render::kColourOp, 4},
                        {S::kStage, 0, render::kAlphaOp, 4},
                        {S::kStage, 0, render::kColourArg0, 3},
                        {S::kStage, 0, render::kColourArg1, 2},
                        {S::kStage, 0, render::kAlphaArg0, 3},
                        {S::kStage, 0, render::kAlphaArg1, 2},
                        {S::kStage, 1, render::kColourOp, 2},
                        {S::kStage, 1, render::kAlphaOp, 4},
                        {S::kStage, 1, render::kColourArg0, 1},
                        {S::kStage, 1, render::kAlphaArg0, 1},
                        {S::kStage, 1, render::kAlphaArg1, 4}};
    render::TechniqueParam params[3];
    params[0].name = "DiffuseColorOp";
    params[0].binding = render::TechniqueParam::kStageState;
    params[0].state = render::kColourOp;
    params[0].hasDefault = true;
    params[0].defaultValue = 4;
    params[1].name = "Alpha";
    params[1].binding = render::TechniqueParam::kRenderState;
    params[1].state = 60;
    params[1].hasDefault = true;
    params[1].defaultValue = 0xFF000000u;
    params[2].name = "Tex0";
    params[2].binding = render::TechniqueParam::kTexture;
    render::TechniqueDesc desc{states, 12, params, 3};
    render::IEffect* alphaTech = gl.GetTechnique("<ModelAlphaTech>", &desc);
    render::IMaterial* half = ColourMaterial(gl, alphaTech, 0, 0, 1, 1);  // its colour is not used
    half->SetTransparent(true);
    ASSERT_TRUE(half->GetParameters()->SetInt("Alpha", std::int32_t(0x80FF0000u)));
    render::IMaterial* byDefault = ColourMaterial(gl, alphaTech, 0, 0, 1, 1);
    render::IMaterial* selected = ColourMaterial(gl, alphaTech, 0, 0, 1, 1);
    ASSERT_TRUE(selected->GetParameters()->SetInt("Alpha", std::int32_t(0xFF00FF00u)));
    ASSERT_TRUE(selected->GetParameters()->SetInt("DiffuseColorOp", 2));  // the factor alone
    const auto left = Placed(0.8f, -2.0f, 0.0f, 6.0f), middle = Placed(0.8f, 0.0f, 0.0f, 6.0f),
               right = Placed(0.8f, 2.0f, 0.0f, 6.0f);
    const auto pixels = Frame({Quad(gl, stream, kFront, half, left), Quad(gl, stream, kFront, byDefault, middle),
                               Quad(gl, stream, kFront, selected, right)});
    EXPECT_EQ(stats.approximated, 0);
    const Box lb = Projected(camera, left), mb = Projected(camera, middle), rb = Projected(camera, right);
    Near(At(pixels, (lb.x0 + lb.x1) / 2, (lb.y0 + lb.y1) / 2), {128, 0, 32}, "half red over the clear colour");
    Near(At(pixels, (mb.x0 + mb.x1) / 2, (mb.y0 + mb.y1) / 2), {0, 0, 0}, "the default factor: black");
    Near(At(pixels, (rb.x0 + rb.x1) / 2, (rb.y0 + rb.y1) / 2), {0, 255, 0}, "the factor selected");
}

TEST_F(GlDraw, ScreenRectanglesDrawLastAndThePictureGoesToPng) {
    render::IMaterial* red = ColourMaterial(gl, technique, 1, 0, 0, 1);
    render::IRenderable* r = Quad(gl, stream, kFront, red, Placed(3.0f, 0.0f, 0.0f, 4.0f));
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.Submit(r);
    gl.SubmitScreenRect(10, 20, 30, 10, 0xFFFFFF00u);
    const GlFrameStats s = gl.EndFrame();
    EXPECT_EQ(s.screenPrimitives, 1);
    const auto pixels = gl.ReadPixels();
    Near(At(pixels, 12, 22), {255, 255, 0}, "rectangle, top rows first");
    Near(At(pixels, 12, 32), {255, 0, 0}, "below the rectangle");
    EXPECT_FALSE(gl.RendererName().empty());

    const std::string path = std::string(QUOR_BINARY_DIR) + "/gl_frame_test.png";
    ASSERT_TRUE(gl.WritePng(path));
    int w = 0, h = 0, n = 0;
    stbi_uc* back = stbi_load(path.c_str(), &w, &h, &n, 4);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    EXPECT_EQ(0, std::memcmp(back, pixels.data(), pixels.size()));
    stbi_image_free(back);
    EXPECT_FALSE(gl.WritePng(std::string(QUOR_BINARY_DIR) + "/no/such/dir/x.png"));
}

// Texts over objects: a screen primitive of the "UpperText" effect draws its device texture's
// pixels, blended by their alpha, over everything; other screen primitives are not drawn.
TEST_F(GlDraw, UpperTextPrimitivesShowTheirDeviceTextureBlended) {
    gl.AttachDevice(&device);
    render::ITexture* texture = gl.CreateTexture(64, 64, 21, 1, 1, 0);
    ASSERT_NE(texture, nullptr);
    auto* pixels = static_cast<d3d9::IDirect3DTexture9*>(texture->GetSurface());
    ASSERT_NE(pixels, nullptr);
    device.ColorFill(pixels->Level(0), nullptr, 0x00000000u);
    const d3d9::RECT left{0, 0, 32, 64};
    device.ColorFill(pixels->Level(0), &left, 0xFF00FF00u);
    render::IPrimitive* primitive = gl.CreatePrimitive(4, 0x144);
    render::IEffect* effect = gl.CreateEffect();
    effect->SetTechniqueName("UpperText");
    primitive->SetEffect(effect);
    primitive->SetVertexCount(2, 6, 0, 0);
    const float l = 20, t = 10, r = 84, b = 74;
    const float corners[6][4] = {{l, t, 0, 0}, {r, t, 1, 0}, {l, b, 0, 1}, {l, b, 0, 1}, {r, t, 1, 0}, {r, b, 1, 1}};
    for (int k = 0; k < 6; ++k) {
        const float position[3] = {corners[k][0] - 0.5f, corners[k][1] - 0.5f, 0};
        primitive->SetVertexUV(k, position, corners[k][2], corners[k][3], 0xFFFFFFFFu);
    }
    primitive->SetTexture(0, texture);
    primitive->SetVertexCountUsed(2);
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    primitive->Draw(-1, -1, 0);
    const GlFrameStats s = gl.EndFrame();
    EXPECT_EQ(s.overlayTriangles, 2);
    const auto frame = gl.ReadPixels();
    Near(At(frame, 30, 40), {0, 255, 0}, "opaque half of the texture");
    Near(At(frame, 70, 40), At(frame, 150, 100), "transparent half shows the clear colour");
    // Outside a frame nothing is queued.
    primitive->Draw(-1, -1, 0);
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    EXPECT_EQ(gl.EndFrame().overlayTriangles, 0);
    gl.ReleasePrimitive(primitive);
    gl.ReleaseEffect(effect);
    gl.ReleaseTexture(texture);
    EXPECT_EQ(device.LiveTextures(), 0);
}

TEST_F(GlDraw, RangesOutsideTheBuffersAreSkippedNotRead) {
    render::IMaterial* red = ColourMaterial(gl, technique, 1, 0, 0, 1);
    const render::DrawRange pastIndices = {0, 3, 4, 6, 0};  // 9 indices from 6 of 12
    render::IRenderable* bad = Quad(gl, stream, pastIndices, red, Placed(1, 0, 0, 5));
    // Indices naming vertices the buffers do not hold.
    QuadBuffers wide(device);
    const std::uint16_t far[6] = {0, 1, 9, 0, 2, 3};
    QuadBuffers::Fill(wide.ib, far, sizeof far);
    render::IVertexBuffer* wideStream = wide.MakeStream(gl);
    render::IRenderable* overrun = Quad(gl, wideStream, kFront, red, Placed(1, 0, 0, 5));
    render::IRenderable* empty = gl.CreateRenderable(nullptr);
    const auto pixels = Frame({bad, overrun, empty});
    EXPECT_EQ(stats.skipped, 3);
    EXPECT_EQ(stats.renderables, 0);
    Near(At(pixels, kWidth / 2, kHeight / 2), {0, 0, 64}, "nothing drawn");
}

// One table of object lifecycles, run against both renderers: each kind made and taken
// back leaves nothing alive; a second release is refused and counted.
struct Lifecycle {
    const char* name;
    std::function<void*(render::IRenderer&)> make;
    std::function<void(render::IRenderer&, void*)> release;
};

const std::vector<Lifecycle>& Lifecycles() {
    static const std::vector<Lifecycle> rows = {
        {"vertex buffer", [](render::IRenderer& r) -> void* { return r.CreateVertexBuffer(); },
         [](render::IRenderer& r, void* o) { r.ReleaseVertexBuffer(static_cast<render::IVertexBuffer*>(o)); }},
        {"renderable", [](render::IRenderer& r) -> void* { return r.CreateRenderable(nullptr); },
         [](render::IRenderer& r, void* o) { r.ReleaseRenderable(static_cast<render::IRenderable*>(o)); }},
        {"render state", [](render::IRenderer& r) -> void* { return r.CreateRenderState(); },
         [](render::IRenderer& r, void* o) { r.ReleaseRenderState(static_cast<render::IRenderState*>(o)); }},
        {"blend state", [](render::IRenderer& r) -> void* { return r.CreateBlendState(); },
         [](render::IRenderer& r, void* o) { r.ReleaseStateBlock(static_cast<render::IRenderState*>(o)); }},
        {"state block", [](render::IRenderer& r) -> void* { return r.CreateStateBlock(); },
         [](render::IRenderer& r, void* o) { r.ReleaseStateBlock(static_cast<render::IRenderState*>(o)); }},
        {"effect", [](render::IRenderer& r) -> void* { return r.CreateEffect(); },
         [](render::IRenderer& r, void* o) { r.ReleaseEffect(static_cast<render::IEffect*>(o)); }},
        {"render camera", [](render::IRenderer& r) -> void* { return r.CreateRenderCamera(); },
         [](render::IRenderer& r, void* o) { r.ReleaseRenderCamera(static_cast<render::IRenderCamera*>(o)); }},
        {"primitive", [](render::IRenderer& r) -> void* { return r.CreatePrimitive(1, 0); },
         [](render::IRenderer& r, void* o) { r.ReleasePrimitive(static_cast<render::IPrimitive*>(o)); }},
        {"light state", [](render::IRenderer& r) -> void* { return r.CreateSceneLightState(); },
         [](render::IRenderer& r, void* o) { r.ReleaseSceneLightState(static_cast<render::ISceneLightState*>(o)); }},
        {"material group", [](render::IRenderer& r) -> void* { return r.CreateMaterialGroupObject(); },
         [](render::IRenderer& r, void* o) { r.ReleaseMaterial(static_cast<render::IMaterialGroup*>(o)); }},
        {"material", [](render::IRenderer& r) -> void* { return r.CreateMaterial(LitTechnique(r)); },
         [](render::IRenderer& r, void* o) { r.ReleaseMaterial(static_cast<render::IMaterial*>(o)); }},
        // The planar part holds a material of its own, given back with it.
        {"decal", [](render::IRenderer& r) -> void* { return r.CreateSkinBuffer(render::kSkinBufferDecal); },
         [](render::IRenderer& r, void* o) { r.ReleaseSkinBuffer(static_cast<render::ISkinBuffer*>(o)); }},
        {"plane shadow", [](render::IRenderer& r) -> void* { return r.CreateSkinBuffer(render::kSkinBufferPlaneShadow); },
         [](render::IRenderer& r, void* o) { r.ReleaseSkinBuffer(static_cast<render::ISkinBuffer*>(o)); }},
        {"shadow volume", [](render::IRenderer& r) -> void* { return r.CreateSkinBuffer(render::kSkinBufferVolume); },
         [](render::IRenderer& r, void* o) { r.ReleaseSkinBuffer(static_cast<render::ISkinBuffer*>(o)); }},
    };
    return rows;
}

template <class R>
void RunLifecycles(R& renderer, RecordingRenderer& books, const char* which) {
    for (const Lifecycle& row : Lifecycles()) {
        SCOPED_TRACE(std::string(which) + ": " + row.name);
        const int live = books.LiveObjects(), bad = books.BadReleases();
        void* object = row.make(renderer);
        ASSERT_NE(object, nullptr);
        EXPECT_GT(books.LiveObjects(), live);
        row.release(renderer, object);
        row.release(renderer, object);
        EXPECT_EQ(books.BadReleases(), bad + 1);
        // The technique a material names is the renderer's, kept for the next material.
        const int keep = std::string(row.name) == "material" ? 1 : 0;
        EXPECT_EQ(books.LiveObjects(), live + keep);
    }
}

TEST(GlRendererObjects, LifecycleTableHoldsForBothRenderers) {
    RecordingRenderer recording;
    RunLifecycles(recording, recording, "recording");
    GlRenderer gl;
    RunLifecycles(gl, gl.Objects(), "gl");
}

TEST(GlRendererObjects, OneStoreServesBothRenderers) {
    auto store = std::make_shared<RecordingStore>();
    RecordingRenderer recording(store);
    GlRenderer gl(store);
    render::IMaterial* m = gl.CreateMaterial(LitTechnique(gl));
    m->AddRef();
    recording.ReleaseMaterial(m);
    EXPECT_EQ(recording.LiveMaterials(), 1);
    gl.ReleaseMaterial(m);
    EXPECT_EQ(recording.LiveMaterials(), 0);
    EXPECT_EQ(store->BadReleases(), 0);
}

// Loader threads make and fill renderer objects while the drawing thread draws what they
// handed over; only the drawing thread calls GL.
TEST(GlRendererThread, LoaderThreadCreatesWhileTheMainThreadDraws) {
    d3d9::IDirect3DDevice9 device;
    GlRenderer gl;
    RenderCamera camera;
    Aim(camera, 64, 48);
    QuadBuffers quads(device);
    render::IEffect* technique = LitTechnique(gl);
    std::mutex mutex;
    std::vector<render::IRenderable*> handed;
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (int i = 0; i < 200; ++i) {
            render::IVertexBuffer* s = quads.MakeStream(gl);
            render::IMaterial* m = ColourMaterial(gl, technique, 1, float(i % 2), 0, 1);
            render::IRenderable* q = Quad(gl, s, kFront, m, Placed(0.2f, float(i % 10) * 0.3f - 1.5f, 0, 6));
            std::lock_guard<std::mutex> lock(mutex);
            handed.push_back(q);
        }
        done = true;
    });
    int frames = 0, drawn = 0;
    while (!done || frames < 5) {
        ASSERT_TRUE(gl.BeginFrame(&camera, kClear, 64, 48));
        std::vector<render::IRenderable*> list;
        {
            std::lock_guard<std::mutex> lock(mutex);
            list = handed;
        }
        for (render::IRenderable* r : list) gl.Submit(r);
        drawn = gl.EndFrame().renderables;
        ++frames;
    }
    loader.join();
    EXPECT_EQ(drawn, 200);
}

// Transitions wipe away a copy of the screen: the last frame, scaled into a device texture.
TEST_F(GlDraw, CaptureScreenCopiesTheLastFrame) {
    gl.AttachDevice(&device);
    render::ITexture* target = gl.CreateTexture(16, 12, 0, 0, 1, 0);
    ASSERT_NE(target, nullptr);
    EXPECT_FALSE(gl.CaptureScreen(target)) << "no frame yet";
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.SubmitScreenRect(0, 0, kWidth / 2, kHeight, 0xFFFF0000u);
    gl.EndFrame();
    EXPECT_TRUE(gl.CaptureScreen(target));
    const auto* level = static_cast<d3d9::IDirect3DTexture9*>(target->GetSurface())->Level(0);
    EXPECT_EQ(level->Pixel(2, 6), 0xFFFF0000u);
    EXPECT_EQ(level->Pixel(13, 6), kClear);
    EXPECT_FALSE(gl.CaptureScreen(nullptr));
    gl.ReleaseTexture(target);
    EXPECT_FALSE(gl.CaptureScreen(target)) << "a released texture is left alone";
}

// A camera the renderer makes, never told a viewport, lands its projected points where the
// frame draws them; its view scale and projection offset move the drawing with them.
TEST_F(GlDraw, ItsOwnCamerasProjectWhereItDrawsAlsoScaledAndOffset) {
    render::IMaterial* red = ColourMaterial(gl, technique, 1, 0, 0, 1);
    const auto at = Placed(0.5f, 0.6f, -0.3f, 6.0f);
    render::IRenderable* quad = Quad(gl, stream, kFront, red, at);
    auto* own = static_cast<RenderCamera*>(gl.CreateRenderCamera());
    own->SetPerspective(60.0f, float(kWidth) / float(kHeight), 1.0f, 100.0f);
    own->Refresh();
    const float scale[3] = {0.8f, 1.25f, 1.0f}, offset[3] = {-0.3f, 0.2f, 0.0f};
    for (int moved = 0; moved < 2; ++moved) {
        if (moved) {
            own->SetViewScale(scale);
            own->SetProjectionOffset(offset);
        }
        ASSERT_TRUE(gl.BeginFrame(own, kClear, kWidth, kHeight));
        gl.Submit(quad);
        gl.EndFrame();
        const auto pixels = gl.ReadPixels();
        const Box b = Projected(*own, at);
        const char* what = moved ? "scaled and offset" : "plain";
        ASSERT_TRUE(b.x0 > 3 && b.y0 > 3 && b.x1 < kWidth - 3 && b.y1 < kHeight - 3)
            << what << ": projected off the frame at " << b.x0 << " " << b.y0;
        const float cx = (b.x0 + b.x1) / 2, cy = (b.y0 + b.y1) / 2;
        Near(At(pixels, cx, cy), {255, 0, 0}, what);
        for (const float inset : {2.0f, -2.0f}) {
            const Rgb want = inset > 0 ? Rgb{255, 0, 0} : Rgb{0, 0, 64};
            Near(At(pixels, b.x0 + inset, cy), want, what);
            Near(At(pixels, b.x1 - inset, cy), want, what);
            Near(At(pixels, cx, b.y0 + inset), want, what);
            Near(At(pixels, cx, b.y1 - inset), want, what);
        }
    }
    gl.ReleaseRenderCamera(own);
}

}  // namespace
}  // namespace quor::host::test
