// Overlay objects over the parts of a grid tree (argument: about 10^3 or 10^4 parts), on one
// OSMesa context with the same matrices: one frame of the manipulator handles (translation
// handles on half the parts, joint-rotation handles on the other half), the joint glyphs and
// the selection boxes, against a bare loop issuing the same GL and GLU calls; and one
// selection pass over the pickable handles and glyphs, naming links through the pass's
// registry, against the same pass naming them by index.

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxConfirmBox.h"
#include "scene/annotation/AuxJoint.h"
#include "scene/annotation/AuxManip.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using namespace quor::wgl;

constexpr int kSize = 256;
constexpr float kMagenta[4] = {0.8f, 0, 0.6f, 1};
constexpr float kLightBlue[4] = {0.3f, 0.5f, 1.0f, 1};
constexpr float kGrey[4] = {0.65f, 0.65f, 0.65f, 1};
constexpr float kWhite[4] = {1, 1, 1, 1};
constexpr float kPaleGrey[4] = {0.7f, 0.7f, 0.7f, 1};
constexpr float kAxis[3][4] = {{0.8f, 0, 0, 1}, {0, 0.8f, 0, 1}, {0, 0, 0.8f, 1}};

class Stage {
public:
    static Stage& Get(int parts)
    {
        static Stage stage;
        stage.Build(parts);
        return stage;
    }

    void Overlay()
    {
        manip_->Draw();
        joint_->Draw();
        box_->Draw();
    }

    // The same calls in a plain loop over the links.
    void Bare()
    {
        glPushAttrib(GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
        glEnable(GL_LIGHTING);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        for (size_t i = 0; i < links_.size(); ++i) {
            const KytLink* l = links_[i];
            glPushName(static_cast<GLuint>(i));
            glPushMatrix();
            MultMech(l->mech);
            if (l->nJointKind == 1)
                BareTranslation(l);
            else
                BareJointRotation(l);
            glPopMatrix();
            glPopName();
        }
        glPopAttrib();
        BareJoints();
        BareBoxes();
    }

    void PickOverlay()
    {
        BeginSelect();
        KytPickNames::Begin();
        glLoadName(manip_->GetID());
        manip_->Draw();
        glLoadName(joint_->GetID());
        joint_->Draw();
        KytPickNames::End();
        EndSelect();
    }

    void PickBare()
    {
        BeginSelect();
        glLoadName(manip_->GetID());
        glPushAttrib(GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
        glEnable(GL_LIGHTING);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        for (size_t i = 0; i < links_.size(); ++i) {
            const KytLink* l = links_[i];
            glPushName(static_cast<GLuint>(i));
            glPushMatrix();
            MultMech(l->mech);
            if (l->nJointKind == 1)
                BareTranslation(l);
            else
                BareJointRotation(l);
            glPopMatrix();
            glPopName();
        }
        glPopAttrib();
        glLoadName(joint_->GetID());
        BareJoints();
        EndSelect();
    }

    void Frame(bool bare)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (bare)
            Bare();
        else
            Overlay();
        glFinish();
    }

    int hits = 0;

private:
    Stage()
    {
        wnd_ = CreateStandInWindow(kSize, kSize);
        KytLinkContents::bContribution = false;
    }

    void Build(int parts)
    {
        if (parts == parts_)
            return;
        parts_ = parts;
        manip_.reset();
        joint_.reset();
        box_.reset();
        scene_.reset();
        stack_.RemoveAll();
        links_.clear();
        model_ = std::make_unique<KytModel>();
        KytLink* root = KytBuild::GridTree(*model_, std::max(1, parts / 100), 100, 3);
        scene_ = std::make_unique<KytScene>(root, "bench");
        scene_->Create(new KytOgl(wnd_, 32, 24), kSize, kSize);
        scene_->FitView(false);
        scene_->Draw(false);  // leaves the camera's matrices for the overlays
        bool rotating = false;
        for (const auto& l : model_->Links()) {
            if (!l->pShape)
                continue;
            l->SetGeomCEN();
            l->nJointKind = rotating ? 2 : 1;
            l->manip.nAxis = 1;
            l->jointFrame.vPos = {1, 0, 0};
            rotating = !rotating;
            links_.push_back(l.get());
            stack_.Append(l.get());
        }
        manip_ = std::make_unique<AuxManip>(1, &stack_);
        manip_->Create(scene_.get());
        joint_ = std::make_unique<AuxJoint>(2);
        joint_->Create(scene_.get());
        for (KytLink* l : links_)
            if (l->nJointKind == 2)
                joint_->Push(l, true);
        box_ = std::make_unique<AuxConfirmBox>(3, &stack_);
        if (!quadric_)
            quadric_ = gluNewQuadric();
        gluQuadricDrawStyle(quadric_, GLU_FILL);
        select_.assign(1 << 22, 0u);
        // The renderer builds its code for each new state on first use: pay that here.
        Frame(false);
        Frame(true);
        PickOverlay();
        PickBare();
    }

    static void MultMech(const KytMech& m)
    {
        float a[16];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                a[j * 4 + i] = static_cast<float>(m.mRot.m[i][j]);
        a[3] = a[7] = a[11] = 0;
        a[12] = static_cast<float>(m.vPos.x);
        a[13] = static_cast<float>(m.vPos.y);
        a[14] = static_cast<float>(m.vPos.z);
        a[15] = 1;
        glMultMatrixf(a);
    }

    static void Face(int w, int n, float sign, float e, float length)
    {
        const int o = 3 - w - n;
        float c[4][3] = {};
        const float across[4] = {-e, e, e, -e};
        const float along[4] = {0, 0, length, length};
        for (int k = 0; k < 4; ++k) {
            c[k][n] = sign * e;
            c[k][o] = across[k];
            c[k][w] = along[k];
        }
        float normal[3] = {0, 0, 0};
        normal[n] = sign;
        glNormal3fv(normal);
        for (int k : {0, 1, 2, 0, 2, 3})
            glVertex3fv(c[k]);
    }

    void BareTranslation(const KytLink* l)
    {
        const float hs = manip_->HandleSize;
        const float s = l->GetRadius() * 1.05f;
        const float e = std::min(s * 0.005f, hs * 0.1f), h = std::min(s * 0.05f, hs);
        double m[16];
        l->manip.GetData(m);
        glPushMatrix();
        glMultMatrixd(m);
        for (int w = 0; w < 3; ++w) {
            glPushName(static_cast<GLuint>(w));
            for (int half = 0; half < 2; ++half) {
                const float sign = half ? 1.0f : -1.0f;
                glPushName(static_cast<GLuint>(half));
                glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                             w == 0 ? (half ? kMagenta : kLightBlue) : kGrey);
                glBegin(GL_TRIANGLES);
                for (int n = 0; n < 3; ++n)
                    if (n != w) {
                        Face(w, n, 1, e, sign * s);
                        Face(w, n, -1, e, sign * s);
                    }
                glEnd();
                glPushMatrix();
                float end[3] = {0, 0, 0};
                end[w] = sign * s;
                glTranslatef(end[0], end[1], end[2]);
                glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kAxis[w]);
                KytOgl::DrawBox(h, -h);
                glPopMatrix();
                glPopName();
            }
            glPopName();
        }
        glPopMatrix();
    }

    static void JointMatrix(const KytLink* l)
    {
        const WqMatrix33D& r = l->jointFrame.mRot;
        const WqVector3D& p = l->jointFrame.vPos;
        const double m[16] = {r.m[0][0], r.m[1][0], r.m[2][0], 0, r.m[0][1], r.m[1][1],
                              r.m[2][1], 0, r.m[0][2], r.m[1][2], r.m[2][2], 0,
                              p.x,       p.y,       p.z,       1};
        glMultMatrixd(m);
    }

    void BareJointRotation(const KytLink* l)
    {
        const double a = 3.0 * l->GetRadius();
        glPushMatrix();
        JointMatrix(l);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kWhite);
        gluCylinder(quadric_, a * 0.003, a * 0.003, a, 8, 6);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kMagenta);
        glTranslatef(0, 0, static_cast<float>(0.4 * a));
        gluDisk(quadric_, 0.08 * a, 0.1 * a, 30, 10);
        glPopMatrix();
    }

    void BareJoints()
    {
        glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
        glEnable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDepthMask(GL_TRUE);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        const float g = joint_->GlyphSize, d = 0.3f * g, c = 0.08f * g, c2 = 1.5f * c;
        // The records are newest first.
        for (size_t k = links_.size(); k-- > 0;) {
            const KytLink* l = links_[k];
            if (l->nJointKind != 2)
                continue;
            glPushName(static_cast<GLuint>(k));
            glPushMatrix();
            MultMech(l->mech);
            JointMatrix(l);
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kWhite);
            glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 120);
            glTranslatef(0, 0, -d);
            gluDisk(quadric_, 0, c, 30, 10);
            gluCylinder(quadric_, c, c, 2 * d, 30, 10);
            glTranslatef(0, 0, 2 * d);
            gluDisk(quadric_, 0, c, 30, 10);
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kPaleGrey);
            glTranslatef(0, 0, -1.5f * d);
            gluCylinder(quadric_, c2, c2, 1.125 * d, 30, 10);
            glTranslatef(0, 0, 0.75f * d);
            gluPartialDisk(quadric_, 2 * c2, 2.4 * c2, 30, 10, 0, 300);
            glPopMatrix();
            glPopName();
        }
        glPopAttrib();
    }

    void BareBoxes()
    {
        static const int kFaces[6][4] = {{0, 3, 2, 1}, {1, 5, 4, 0}, {0, 4, 7, 3},
                                         {4, 5, 6, 7}, {7, 6, 2, 3}, {5, 1, 2, 6}};
        static const int kStored[8] = {0, 1, 3, 2, 4, 5, 7, 6};
        glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(1, 0xF0F0);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        for (const KytLink* l : links_) {
            glColor3f(1.0f, 0.0f, 0.3f);
            glLineWidth(1.0f);
            float corners[8][3];
            for (int i = 0; i < 8; ++i) {
                const WqVector3D w = l->mech.GetAbsPos(l->aBoxCorner[kStored[i]]);
                corners[i][0] = static_cast<float>(w.x);
                corners[i][1] = static_cast<float>(w.y);
                corners[i][2] = static_cast<float>(w.z);
            }
            glBegin(GL_QUADS);
            for (const auto& face : kFaces)
                for (int k : face)
                    glVertex3fv(corners[k]);
            glEnd();
        }
        glPopAttrib();
    }

    // A selection pass around the window's centre, where the grid's parts crowd.
    void BeginSelect()
    {
        glSelectBuffer(static_cast<GLsizei>(select_.size()), select_.data());
        glRenderMode(GL_SELECT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        GLint vp[4];
        glGetIntegerv(GL_VIEWPORT, vp);
        double proj[16];
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glLoadIdentity();
        gluPickMatrix(kSize / 2.0, kSize / 2.0, 9.0, 9.0, vp);
        glMultMatrixd(proj);
        glMatrixMode(GL_MODELVIEW);
        glInitNames();
        glPushName(0xFFFFFFFFu);
    }

    void EndSelect()
    {
        glPopName();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        hits = glRenderMode(GL_RENDER);
    }

    HWND wnd_ = nullptr;
    int parts_ = -1;
    std::unique_ptr<KytModel> model_;
    std::unique_ptr<KytScene> scene_;
    std::vector<KytLink*> links_;
    KytStack<KytLink> stack_;
    std::unique_ptr<AuxManip> manip_;
    std::unique_ptr<AuxJoint> joint_;
    std::unique_ptr<AuxConfirmBox> box_;
    GLUquadricObj* quadric_ = nullptr;
    std::vector<GLuint> select_;
};

void FrameOverlay(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Frame(false);
}

void FrameRef(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.Frame(true);
}

void PickOverlay(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.PickOverlay();
    state.counters["hits"] = s.hits;
}

void PickRef(benchmark::State& state)
{
    Stage& s = Stage::Get(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.PickBare();
    state.counters["hits"] = s.hits;
}

}  // namespace

BENCHMARK(FrameOverlay)->Name("OverlayFrame.overlay")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameRef)->Name("OverlayFrame.ref")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PickOverlay)->Name("OverlayPick.overlay")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PickRef)->Name("OverlayPick.ref")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
