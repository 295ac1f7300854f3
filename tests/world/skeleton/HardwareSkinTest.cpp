#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/host/IRenderCamera.h"
#include "platform/host/RecordingResources.h"
#include "platform/win32/Messages.h"
#include "tests/world/skeleton/SkelMeshSupport.h"
#include "world/mesh/MeshVertexBuffer.h"
#include "world/mesh/MeshVertexData.h"
#include "world/mesh/SubMesh.h"
#include "world/skeleton/MeshSkelSegment.h"

namespace {

using namespace quor;
using namespace quor::test;

constexpr const char* kSkinFx = "res/builtin/shader/hardware_skin.fx";

class HardwareSkinTest : public SkelMeshTest {
protected:
    HardwareSkinTest() {
        scope.renderer.Store()->DefineEffect(std::string(kSkinFx) + "::THardwareSkin", 1);
        scope.renderer.Store()->DefineEffect(std::string(kSkinFx) + "::THardwareSkinAlpha", 1, true);
        world::CreateHardwareSkinEffect();
        scope.renderer.SetHardwareSkinning(true);
        win32::MessageSink::Instance().Clear();
        camera = scope.renderer.CreateRenderCamera();
        camera->SetPerspective(60.0f, 1.5f, 1.0f, 100.0f);
        Matrix view = MatrixIdentity();
        view.m[14] = 10.0f;
        view.m[12] = -1.0f;
        camera->SetViewMatrix(view.m);
        camera->Refresh();
    }
    ~HardwareSkinTest() override {
        scope.renderer.SetCurrentRenderCamera(nullptr);
        scope.renderer.ReleaseRenderCamera(camera);
        meshes.clear();
        world::ReleaseHardwareSkinEffect();
    }
    // A playing figure, posed a few frames in, streams filled.
    MeshSkeletal& Posed(int influences) {
        AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 3, 1));
        MeshSkeletal& m = Make();
        EXPECT_TRUE(Add(m, SkinnedMeshDesc(3, "walk.ani", 12, influences), "body.mom")) << log.Joined();
        EXPECT_TRUE(m.HardwareSkinned());
        m.PlayAnimation(0, MeshBase::kSkeletal, -1.0f, true, 0);
        for (int i = 0; i < 7; ++i) m.UpdateSkeletal(true, true);
        m.Render(world, nullptr);
        return m;
    }
    host::RecordingMaterial& Material(MeshSkeletal& m) {
        return *static_cast<host::RecordingMaterial*>(m.SkelPart(0)->GetSubMesh(0)->Material());
    }
    std::size_t DebugLinesWith(const std::string& text) {
        std::size_t n = 0;
        for (const std::string& line : win32::MessageSink::Instance().DebugOutput()) n += line.find(text) != std::string::npos;
        return n;
    }

    render::IRenderCamera* camera = nullptr;
    Matrix world = [] {
        Matrix w = MatrixIdentity();
        w.m[12] = 3.0f, w.m[13] = -2.0f;
        return w;
    }();
};

TEST_F(HardwareSkinTest, TheUploadedPaletteSkinsTheStreamAsSoftwareSkinningDoes) {
    for (int influences : {1, 2, 4}) {
        SCOPED_TRACE(influences);
        meshes.clear();
        SkelAnimsDataMgr::GetInstance().Clear();
        scope.renderer.SetCurrentRenderCamera(camera);
        MeshSkeletal& m = Posed(influences);
        m.DrawSubMeshes(world);
        host::RecordingMaterial& material = Material(m);
        const std::vector<float>& palette = material.params.values["boneMatrix"];
        ASSERT_EQ(palette.size(), 3u * 16u);
        // The technique's sum over the 68-byte vertices: weights at 36, indices at 52.
        MeshSkelSegment& seg = *m.SkelPart(0);
        seg.SkinFromLod();
        const MeshVertexBuffer& buffer = *m.VertexBuffer(0);
        const MeshVertexBuffer::Range& range = buffer.Ranges()[0];
        const std::uint8_t* at = buffer.PositionNormalBuffer()->Bytes() + range.firstVertex * MeshVertexBuffer::kSkinStride;
        for (std::uint32_t v = 0; v < range.vertexCount; ++v, at += MeshVertexBuffer::kSkinStride) {
            float p[3], w[4], idx[4];
            std::memcpy(p, at, 12);
            std::memcpy(w, at + 36, 16);
            std::memcpy(idx, at + 52, 16);
            double out[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                const float* b = &palette[std::size_t(idx[k]) * 16];
                for (int c = 0; c < 3; ++c) out[c] += double(w[k]) * (p[0] * b[c] + p[1] * b[4 + c] + p[2] * b[8 + c] + b[12 + c]);
            }
            const Vec3 want = seg.Positions()[v];
            EXPECT_NEAR(out[0], want.x, 1e-4 + 1e-6 * std::fabs(want.x)) << v;
            EXPECT_NEAR(out[1], want.y, 1e-4 + 1e-6 * std::fabs(want.y)) << v;
            EXPECT_NEAR(out[2], want.z, 1e-4 + 1e-6 * std::fabs(want.z)) << v;
        }
        EXPECT_EQ(material.params.values["fAlpha"], std::vector<float>{1.0f});
        // world x view x projection, in double.
        const float* view = camera->GetViewMatrix();
        const float* proj = camera->GetProjectionMatrix();
        const std::vector<float>& vp = material.params.values["ViewProjMatrix"];
        ASSERT_EQ(vp.size(), 16u);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (int j = 0; j < 4; ++j) {
                    double wv = 0;
                    for (int i = 0; i < 4; ++i) wv += double(world.m[4 * r + i]) * view[4 * i + j];
                    sum += wv * proj[4 * j + c];
                }
                EXPECT_NEAR(vp[std::size_t(4 * r + c)], sum, 1e-4);
            }
        }
        EXPECT_EQ(material.params.values["worldMatrix"], std::vector<float>(world.m, world.m + 16));
    }
}

TEST_F(HardwareSkinTest, TechniquesAreSetOncePerPassAndRefusalsOnlyReport) {
    scope.renderer.SetCurrentRenderCamera(camera);
    MeshSkeletal& m = Posed(2);
    SubMesh& sub = *m.SkelPart(0)->GetSubMesh(0);
    m.DrawSubMeshes(world);
    m.DrawSubMeshes(world);
    EXPECT_EQ(DebugLinesWith("[skin] material setTechnique MeshBase::GetTechniqueHardwareSkin() succeed!"), 1u);
    EXPECT_EQ(DebugLinesWith("printallitems"), 1u);
    EXPECT_EQ(DebugLinesWith("technique file["), 1u);
    EXPECT_EQ(Material(m).prints, 1);
    EXPECT_NE(sub.SkinTechnique(), nullptr);
    EXPECT_EQ(sub.SkinAlphaTechnique(), nullptr);
    render::IEffect* opaque = sub.SkinTechnique();
    // Moving to the transparent pass gains the alpha technique and keeps the opaque one.
    sub.Renderable()->SetDrawPass(0x60);
    m.SkelPart(0)->UpdateHardwareSkinShader(0, world, 0);
    EXPECT_EQ(sub.SkinTechnique(), opaque);
    EXPECT_EQ(sub.SkinAlphaTechnique(), world::HardwareSkinTechnique(true));
    EXPECT_EQ(Material(m).GetTechnique(), world::HardwareSkinTechnique(true));
    EXPECT_EQ(DebugLinesWith("material setTechnique"), 2u);
    // A refused palette is reported and the rest goes on.
    Material(m).params.refused.insert("boneMatrix");
    Material(m).params.calls.clear();
    m.SkelPart(0)->UpdateHardwareSkinShader(0, world, 0);
    EXPECT_EQ(DebugLinesWith("submesh[skin] tech_name["), 1u);
    EXPECT_EQ(DebugLinesWith("UpdateHardwareSkinShader SetFloatArray failed!\nmeshsegment ptr["), 1u);
    const auto& calls = Material(m).params.calls;
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("SetMatrix(ViewProjMatrix", 0) == 0; }));
}

TEST_F(HardwareSkinTest, WithoutARenderCameraTheTransformsAreLeftAlone) {
    MeshSkeletal& m = Posed(2);
    Material(m).params.calls.clear();
    m.DrawSubMeshes(world);
    const auto& calls = Material(m).params.calls;
    for (const std::string& c : calls) EXPECT_EQ(c.find("Matrix("), std::string::npos) << c;
    EXPECT_TRUE(Material(m).params.values.count("boneMatrix"));
    EXPECT_FALSE(Material(m).params.values.count("lightDir")) << "no scene, no main light";
}

}  // namespace
