// The special views against bare loops doing the same work.
//
// SectionCut: one section frame of 256 cylinders of 4,096 triangles, every one cut by the
// plane, against a bare loop cutting the same triangles from packed arrays and sending the
// same segments with glVertex3dv between the same clear and swap.
//
// MultiPartCull: the multi-part view's culling test over 100,000 links against a plain loop
// over packed centres, radii and placements doing the same test.

#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytStack.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytMultiContents.h"
#include "scene/view/KytMultiScene.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytSectionScene.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace quor::wgl;

constexpr int kSize = 256;

class SectionStage {
public:
    static SectionStage& Get()
    {
        static SectionStage stage;
        return stage;
    }

    void Scene() { scene_->Draw(false); }

    void Bare()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glInitNames();
        for (const Packed& p : packed_) {
            glPushMatrix();
            glMultMatrixf(p.matrix);
            glBegin(GL_LINES);
            glColor4fv(colour_);
            const float* v = p.vertices.data();
            for (size_t t = 0; t < p.vertices.size(); t += 9, v += 9) {
                double s[3];
                for (int k = 0; k < 3; ++k)
                    s[k] = p.n[0] * v[3 * k] + p.n[1] * v[3 * k + 1] + p.n[2] * v[3 * k + 2] - p.d;
                double seg[2][3];
                int found = 0;
                for (int k = 0; k < 3 && found < 2; ++k) {
                    const int j = (k + 1) % 3;
                    if ((s[k] < 0) == (s[j] < 0))
                        continue;
                    const double f = s[k] / (s[k] - s[j]);
                    for (int c = 0; c < 3; ++c)
                        seg[found][c] = v[3 * k + c] + (v[3 * j + c] - v[3 * k + c]) * f;
                    ++found;
                }
                if (found == 2) {
                    glVertex3dv(seg[0]);
                    glVertex3dv(seg[1]);
                }
            }
            glEnd();
            glPopMatrix();
        }
        scene_->GetOgl()->SwapBuffers();
    }

private:
    struct Packed {
        float matrix[16];
        double n[3];
        double d;
        std::vector<float> vertices;
    };

    SectionStage()
    {
        wnd_ = CreateStandInWindow(kSize, kSize);
        KytLink* root = model_.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        for (int i = 0; i < 256; ++i) {
            KytLink* link = model_.AddLink("cylinder", root);
            model_.SetShape(link, model_.AddShape(KytBuild::CylinderRep(0.4, 2.0, 1024)));
        }
        model_.UpdatePlacements();
        int i = 0;
        for (const auto& l : model_.Links()) {
            if (l->pShape) {
                l->mech.vPos = WqVector3D(i % 16, i / 16, 0.0);
                ++i;
            }
        }
        cut_.mech.vPos = WqVector3D(0, 0, 0.1);
        scene_ = std::make_unique<KytSectionScene>(root, "bench");
        scene_->Create(new KytOgl(wnd_, 32, 24), kSize, kSize);
        scene_->SetSectionLink(&cut_, false);
        scene_->Draw(false);
        for (const auto& l : model_.Links()) {
            if (!l->pShape)
                continue;
            Packed p;
            const WqMatrix33D rt = l->mech.mRot.Transpose();
            const WqVector3D n = rt.Multi(WqVector3D(0, 0, 1));
            const WqVector3D o = rt.Multi(cut_.mech.vPos - l->mech.vPos);
            p.n[0] = n.x;
            p.n[1] = n.y;
            p.n[2] = n.z;
            p.d = n.Dot(o);
            KytOgl::MultMatrix(l->mech); // fills KytOgl::aMatrix
            std::copy(KytOgl::aMatrix, KytOgl::aMatrix + 16, p.matrix);
            for (const KytTriangle& t : l->pShape->pRep->aTriangle)
                for (int k = 0; k < 3; ++k)
                    for (int c = 0; c < 3; ++c)
                        p.vertices.push_back(t.pVertex[k]->fv()[c]);
            packed_.push_back(std::move(p));
        }
        glLoadIdentity();
        scene_->GetViewPort()->SetCamera();
        // Both sides must send the same lines.
        const long view = Lines([this] { Scene(); });
        const long ref = Lines([this] { Bare(); });
        if (view != ref || view == 0)
            std::fprintf(stderr, "SectionCut: the view sends %ld lines, the loop %ld\n", view, ref);
        if (std::getenv("SECTION_CUT_LINES"))
            std::fprintf(stderr, "SectionCut: %ld lines a frame\n", view);
    }

    template <class F> long Lines(F draw)
    {
        std::vector<GLfloat> buffer(8 << 20);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const GLint n = glRenderMode(GL_RENDER);
        long lines = 0;
        for (GLint i = 0; i < n;) {
            const auto token = static_cast<GLint>(buffer[i]);
            if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                ++lines;
                i += 7;
            } else if (token == GL_PASS_THROUGH_TOKEN || token == GL_POINT_TOKEN) {
                i += token == GL_POINT_TOKEN ? 4 : 2;
            } else {
                break;
            }
        }
        return lines;
    }

    HWND wnd_ = nullptr;
    KytModel model_;
    KytLink cut_;
    std::unique_ptr<KytSectionScene> scene_;
    std::vector<Packed> packed_;
    float colour_[4] = {0.8f, 0.8f, 0.8f, 1.0f};
};

class CullStage {
public:
    static CullStage& Get()
    {
        static CullStage stage;
        return stage;
    }

    int View()
    {
        int drawn = 0;
        for (KytLink* l : links_)
            drawn += contents_->CheckViewFlustomCulling(l);
        return drawn;
    }

    int Bare()
    {
        int drawn = 0;
        const double* o = o_;
        for (size_t i = 0; i < radius_.size(); ++i) {
            const double* m = &rot_[9 * i];
            const double* g = &centre_[3 * i];
            const double* t = &pos_[3 * i];
            const double w[3] = {m[0] * g[0] + m[1] * g[1] + m[2] * g[2] + t[0],
                                 m[3] * g[0] + m[4] * g[1] + m[5] * g[2] + t[1],
                                 m[6] * g[0] + m[7] * g[1] + m[8] * g[2] + t[2]};
            const double f = d0_ - (o[0] * w[0] + o[1] * w[1] + o[2] * w[2]);
            const double v[3] = {w[0] + f * o[0] - L_[0], w[1] + f * o[1] - L_[1],
                                 w[2] + f * o[2] - L_[2]};
            const double u2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
            const double r = radius_[i];
            if (u2 <= 2.220446e-16 || std::sqrt(u2) - r <= 0.0) {
                ++drawn;
                continue;
            }
            const double x = std::fabs(v[0] * across_[0] + v[1] * across_[1] + v[2] * across_[2]);
            const double y = std::fabs(v[0] * up_[0] + v[1] * up_[1] + v[2] * up_[2]);
            const double dx = std::max(0.0, x - W_);
            const double dy = std::max(0.0, y - H_);
            drawn += dx * dx + dy * dy <= r * r;
        }
        return drawn;
    }

private:
    CullStage()
    {
        wnd_ = CreateStandInWindow(64, 64);
        KytLink* root = model_.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> pos(-50.0, 50.0);
        std::uniform_real_distribution<float> rad(0.1f, 3.0f);
        for (int i = 0; i < 100000; ++i) {
            KytLink* l = model_.AddLink("l", root);
            links_.push_back(l);
        }
        model_.UpdatePlacements();
        for (KytLink* l : links_) {
            l->mech.vPos = WqVector3D(pos(rng), pos(rng), pos(rng));
            l->fRadius = rad(rng);
            l->bGeomCenStale = false;
            parts_.Append(l);
        }
        scene_ = std::make_unique<KytMultiScene>(&parts_);
        scene_->SetRootLink(root);
        scene_->Create(new KytOgl(wnd_, 32, 24), 64, 64);
        scene_->GetViewPort()->ChangeViewPoint(30.0f, 20.0f);
        scene_->GetViewPort()->SetViewRadius(20.0);
        scene_->ResetView(false);
        contents_ = dynamic_cast<KytMultiContents*>(scene_->GetContents());
        contents_->Draw(nullptr, 0);
        for (KytLink* l : links_) {
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    rot_.push_back(l->mech.mRot.m[r][c]);
            centre_.insert(centre_.end(), {l->vGeomCen.x, l->vGeomCen.y, l->vGeomCen.z});
            pos_.insert(pos_.end(), {l->mech.vPos.x, l->mech.vPos.y, l->mech.vPos.z});
            radius_.push_back(l->fRadius);
        }
        const KytCamera* camera = scene_->GetViewPort()->GetActiveCamera();
        const WqVector3D o = contents_->vViewDir;
        o_[0] = o.x, o_[1] = o.y, o_[2] = o.z;
        const WqVector3D L = camera->GetLookAtPosition();
        L_[0] = L.x, L_[1] = L.y, L_[2] = L.z;
        d0_ = contents_->lfEyePlane;
        up_[0] = contents_->vScreenUp.x, up_[1] = contents_->vScreenUp.y,
        up_[2] = contents_->vScreenUp.z;
        across_[0] = contents_->vScreenAcross.x, across_[1] = contents_->vScreenAcross.y,
        across_[2] = contents_->vScreenAcross.z;
        H_ = contents_->lfHalfHeight;
        W_ = contents_->lfHalfWidth;
    }

    HWND wnd_ = nullptr;
    KytModel model_;
    std::vector<KytLink*> links_;
    KytStack<KytLink> parts_;
    std::unique_ptr<KytMultiScene> scene_;
    KytMultiContents* contents_ = nullptr;
    std::vector<double> rot_, centre_, pos_, radius_;
    double o_[3], L_[3], up_[3], across_[3], d0_ = 0, H_ = 0, W_ = 0;
};

void SectionCutView(benchmark::State& state)
{
    SectionStage& s = SectionStage::Get();
    for (auto _ : state)
        s.Scene();
}

void SectionCutRef(benchmark::State& state)
{
    SectionStage& s = SectionStage::Get();
    for (auto _ : state)
        s.Bare();
}

void MultiPartCullView(benchmark::State& state)
{
    CullStage& s = CullStage::Get();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.View());
}

void MultiPartCullRef(benchmark::State& state)
{
    CullStage& s = CullStage::Get();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.Bare());
}

}  // namespace

BENCHMARK(SectionCutView)->Name("SectionCut.view")->Unit(benchmark::kMillisecond);
BENCHMARK(SectionCutRef)->Name("SectionCut.ref")->Unit(benchmark::kMillisecond);
BENCHMARK(MultiPartCullView)->Name("MultiPartCull.view")->Unit(benchmark::kMillisecond);
BENCHMARK(MultiPartCullRef)->Name("MultiPartCull.ref")->Unit(benchmark::kMillisecond);
