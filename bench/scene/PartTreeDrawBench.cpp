// Drawing a grid tree of parts through the scene and its part-tree contents against a bare
// OpenGL loop over the same links on the same OSMesa context: per link a push, the placement
// through glMultMatrixf, one material, one GL_TRIANGLES block with a normal per corner, and a
// pop; each frame cleared first and presented the way the scene presents its frame (the
// context's SwapBuffers, which finishes GL and copies the picture to the window), so that
// both sides pay the same frame costs. The "contents" variant frames the contents' own Draw
// like the reference but ends with glFinish alone; its reference is the bare loop's share of
// the frame, the difference of "ref" and "present". Argument 0 is a tree of about
// 10^4 triangles in 520 links, argument 1 about 10^5 in 4080 links. Every part is in view,
// contribution culling is off and back faces are drawn (the contents then send every
// triangle, as the reference does), except in the "reject" variant: a parallel view with back
// faces rejected in software.
//
// Wire (type 16) and shaded-with-edges (type 256) frames have references of their own, in the
// GL state the scene's frame leaves for them, drawing what the scene draws: for the wire
// frame one colour and the link's triangles (lines, lighting off); for the edge frame the
// triangles in their colours with the polygon offset, then the silhouette lines of each link
// for the same view direction, by the same rule, with the same line width and smoothing.

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace {

using namespace quor::wgl;

constexpr int kSize = 256;

struct Tree {
    int assemblies, parts, segments;
};
const Tree kTrees[2] = {{10, 50, 6}, {40, 100, 6}};

// One scene on one context for the whole run; the tree is rebuilt when the size changes.
class Stage {
public:
    static Stage& Get(int which)
    {
        static Stage stage;
        stage.Build(which);
        return stage;
    }

    // Sets the draw type and back-face mode (only when they change, as a host does).
    void Use(DRAWTYPE type, bool reject)
    {
        if (type != type_)
            scene_->SetDrawType(type, false);
        scene_->GetOgl()->SetBackFaceMode(!reject, 0);
        type_ = type;
    }

    void Scene(DRAWTYPE type, bool reject)
    {
        Use(type, reject);
        scene_->Draw(false);
    }

    // The contents alone, framed like the reference.
    void Contents()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene_->GetContents()->Draw(scene_->GetRootLink(), 0);
        glFinish();
    }

    void Bare()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const auto& l : model_->Links()) {
            if (!l->pShape)
                continue;
            const KytShapeRep& rep = *l->pShape->pRep;
            glPushMatrix();
            KytOgl::MultMatrix(l->mech);
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE,
                         KytColor::matarray[rep.aTriangle[0].uColor].afColor);
            glBegin(GL_TRIANGLES);
            for (const KytTriangle& t : rep.aTriangle)
                for (int k = 0; k < 3; ++k) {
                    glNormal3fv(t.pNormal[k]->fv());
                    glVertex3fv(t.pVertex[k]->fv());
                }
            glEnd();
            glPopMatrix();
        }
        scene_->GetOgl()->SwapBuffers();
    }

    // The wire frame's reference: lighting is off and polygons are lines in this state.
    void BareWire()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const auto& l : model_->Links()) {
            if (!l->pShape)
                continue;
            const KytShapeRep& rep = *l->pShape->pRep;
            glPushMatrix();
            KytOgl::MultMatrix(l->mech);
            ColourRuns(rep, true);
            glPopMatrix();
        }
        scene_->GetOgl()->SwapBuffers();
    }

    // The edge frame's reference: offset triangles in their colours, then silhouette lines.
    void BareEdge()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.5f, 1.0f);
        glDepthFunc(GL_LEQUAL);
        KytLinkContents* contents = scene_->GetContents();
        for (const auto& l : model_->Links()) {
            if (!l->pShape)
                continue;
            const KytShapeRep& rep = *l->pShape->pRep;
            glPushMatrix();
            KytOgl::MultMatrix(l->mech);
            ColourRuns(rep, false);
            glColor4f(0, 0, 0, 1);
            float dir[3];
            contents->LocalViewDir(l.get(), dir);
            Silhouette(rep, dir);
            glPopMatrix();
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        scene_->GetOgl()->SwapBuffers();
    }

    void Present()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene_->GetOgl()->SwapBuffers();
    }

private:
    Stage() { wnd_ = CreateStandInWindow(kSize, kSize); }

    // One GL_TRIANGLES block, the colour set where it changes; normals only when asked.
    static void ColourRuns(const KytShapeRep& rep, bool normals)
    {
        int last = -1;
        glBegin(GL_TRIANGLES);
        for (const KytTriangle& t : rep.aTriangle) {
            if (t.uColor != last) {
                last = t.uColor;
                if (const float* c = KytLinkContents::TableColor(t.uColor))
                    glColor4fv(c);
            }
            for (int k = 0; k < 3; ++k) {
                if (normals && t.pNormal[k])
                    glNormal3fv(t.pNormal[k]->fv());
                glVertex3fv(t.pVertex[k]->fv());
            }
        }
        glEnd();
    }

    // Hard edges once per pair, and the edges between a face turned to the view and one
    // turned away.
    static void Silhouette(const KytShapeRep& rep, const float dir[3])
    {
        auto dot = [](const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
        const bool smooth = KytOgl::bLineAntiAlias;
        if (smooth) {
            glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
            glEnable(GL_LINE_SMOOTH);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        }
        glLineWidth(KytOgl::fOutLineWidth);
        glBegin(GL_LINES);
        std::less<const KytTriangle*> lower;
        for (const KytTriangle& t : rep.aTriangle) {
            const float a = t.pFaceNormal ? dot(t.pFaceNormal->fv(), dir) : 0.0f;
            for (int e = 0; e < 3; ++e) {
                const KytTriangle* nb = t.pNeighbor[e];
                const bool draw = (t.uFlags & (KYT_TRI_HARD_EDGE01 << e))
                                      ? (!nb || lower(nb, &t))
                                      : (nb && nb->pFaceNormal && dot(nb->pFaceNormal->fv(), dir) * a <= 0.0f);
                if (!draw)
                    continue;
                glVertex3fv(t.pVertex[e]->fv());
                glVertex3fv(t.pVertex[(e + 1) % 3]->fv());
            }
        }
        glEnd();
        if (smooth)
            glPopAttrib();
    }

    void Build(int which)
    {
        if (which == built_)
            return;
        scene_.reset();
        model_ = std::make_unique<KytModel>();
        const Tree& t = kTrees[which];
        KytLink* root = KytBuild::GridTree(*model_, t.assemblies, t.parts, t.segments);
        KytLinkContents::bContribution = false;
        scene_ = std::make_unique<KytScene>(root, "bench");
        scene_->Create(new KytOgl(wnd_, 32, 24), kSize, kSize);
        scene_->FitView(false);
        built_ = which;
        type_ = DRAWTYPE_SHADE;
    }

    HWND wnd_ = nullptr;
    std::unique_ptr<KytModel> model_;
    std::unique_ptr<KytScene> scene_;
    int built_ = -1;
    DRAWTYPE type_ = DRAWTYPE_SHADE;
};

void DrawType1(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Scene(DRAWTYPE_SHADE, false);
}

void DrawType16(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Scene(DRAWTYPE_WIRE, false);
}

void DrawType256(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Scene(DRAWTYPE_SHADE_EDGE, false);
}

void DrawRejectBackFaces(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Scene(DRAWTYPE_SHADE, true);
}

void DrawContents(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    s.Use(DRAWTYPE_SHADE, false);
    for (auto _ : state)
        s.Contents();
}

void DrawBareWire(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    s.Scene(DRAWTYPE_WIRE, false);  // the GL state of the wire frame
    for (auto _ : state)
        s.BareWire();
}

void DrawBareEdge(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    s.Scene(DRAWTYPE_SHADE_EDGE, false);  // the GL state of the edge frame
    for (auto _ : state)
        s.BareEdge();
}

void PresentOnly(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Present();
}

void DrawBare(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    s.Scene(DRAWTYPE_SHADE, false);  // the same GL state as the scene's frame
    for (auto _ : state)
        s.Bare();
}

}  // namespace

BENCHMARK(DrawType1)->Name("PartTreeDraw.type1")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawType16)->Name("PartTreeDrawWire.type16")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawBareWire)->Name("PartTreeDrawWire.ref")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawType256)->Name("PartTreeDrawEdge.type256")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawBareEdge)->Name("PartTreeDrawEdge.ref")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawRejectBackFaces)
    ->Name("PartTreeDraw.parallel_reject")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DrawContents)->Name("PartTreeDraw.contents")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PresentOnly)->Name("PartTreeDraw.present")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawBare)->Name("PartTreeDraw.ref")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
