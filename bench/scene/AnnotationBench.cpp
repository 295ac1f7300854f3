// A frame of 256 balloon annotations on a tree of 4,096 links: their leaders (Draw) and their
// titles (DrawGDI, both passes the scene makes), against the same stippled leaders, anchor
// points and TextOutA texts drawn bare from precomputed places. "walk" draws the annotations
// outside a frame, so that each one walks the whole tree for shared balloons.

#include "bench/scene/AnnotationStage.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/view/KytOgl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

namespace {

using namespace quor::wgl;

constexpr int kSize = 256;
constexpr int kAnnotations = 256;

class Stage {
public:
    static Stage& Get()
    {
        static Stage stage;
        return stage;
    }

    void Annotated(bool framed)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (framed) {
            AuxAnnotate::Frame frame;
            for (auto& a : annotations_)
                a->Draw();
        } else {
            for (auto& a : annotations_)
                a->Draw();
        }
        HFONT previous = ogl_->ChangeFont(&AuxAnnotate::MsgFont);
        for (int pass = 0; pass < 2; ++pass)
            for (auto& a : annotations_)
                a->DrawGDI(ogl_.get());
        ogl_->SelectObject(previous);
        glFinish();
    }

    void Bare()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const Place& p : places_) {
            glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
            glLineWidth(3.0f);
            glDisable(GL_LIGHTING);
            glDisable(GL_DEPTH_TEST);
            glColor3f(1.0f, 0.0f, 0.0f);
            glEnable(GL_LINE_STIPPLE);
            glLineStipple(1, 0xCCCC);
            glBegin(GL_LINES);
            glVertex3dv(p.anchor);
            glVertex3dv(p.balloon);
            glEnd();
            glColor3f(0.9f, 0.9f, 0.0f);
            glPointSize(5.0f);
            glBegin(GL_POINTS);
            glVertex3dv(p.anchor);
            glEnd();
            glPopAttrib();
        }
        HDC dc = ogl_->GetHdc();
        HFONT previous = ogl_->ChangeFont(&AuxAnnotate::MsgFont);
        for (int pass = 0; pass < 2; ++pass)
            for (const Place& p : places_) {
                const COLORREF c = SetTextColor(dc, 0x00FF00);
                TextOutA(dc, p.x, p.y, p.title, p.length);
                SetTextColor(dc, c);
            }
        ogl_->SelectObject(previous);
        glFinish();
    }

private:
    struct Place {
        double anchor[3], balloon[3];
        int x, y, length;
        const char* title;
    };

    Stage()
    {
        ogl_ = MakeAnnotationStage(kSize, wnd_);

        // 1 top, 63 assemblies of 64 parts each: 4,096 links.
        links_.push_back(std::make_unique<KytLink>());
        links_[0]->nType = 1;
        std::vector<KytLink*> parts;
        for (int a = 0; a < 63; ++a) {
            links_.push_back(std::make_unique<KytLink>());
            KytLink* assembly = links_.back().get();
            links_[0]->AddChild(assembly);
            for (int p = 0; p < 64; ++p) {
                links_.push_back(std::make_unique<KytLink>());
                assembly->AddChild(links_.back().get());
                parts.push_back(links_.back().get());
            }
        }
        for (int i = 0; i < kAnnotations; ++i) {
            KytLink* link = parts[size_t(i) * parts.size() / kAnnotations];
            link->mech.vPos = WqVector3D(8.5 + (i % 16) * 15, 8.5 + (i / 16) * 15, 0.0);
            records_.emplace_back();
            KytAnnotateData& r = records_.back();
            r.ulKey = static_cast<unsigned long>(i + 1);
            r.uOverlapID = static_cast<unsigned>(i + 1);
            r.nLineStyle = 2;
            r.lineColor = 0x0000FF;
            r.textColor = 0x00FF00;
            char title[16];
            std::snprintf(title, sizeof title, "A%d", i);
            r.title = title;
            r.vBalloonOffset = WqVector3D(6.0, 4.0, 0.0);
            link->pAnnotate = &r;
            auto a = std::make_unique<AuxAnnotate>(12, link);
            a->pData = &r;
            annotations_.push_back(std::move(a));
        }
        for (auto& a : annotations_) {
            a->Draw();
            Place p{};
            WqVector3D anchor = a->pTargetLink->mech.GetAbsPos(a->pData->vAnchor);
            const double v[3] = {anchor.x, anchor.y, anchor.z};
            for (int k = 0; k < 3; ++k) {
                p.anchor[k] = v[k];
                p.balloon[k] = v[k] + (k == 0 ? 6.0 : k == 1 ? 4.0 : 0.0);
            }
            double wx, wy, wz;
            gluProject(p.balloon[0], p.balloon[1], p.balloon[2], AuxAnnotate::modelM,
                       AuxAnnotate::projM, AuxAnnotate::viewP, &wx, &wy, &wz);
            p.x = static_cast<int>(wx);
            p.y = kSize - static_cast<int>(wy) - 7;
            p.title = a->pData->title.c_str();
            p.length = static_cast<int>(a->pData->title.size());
            places_.push_back(p);
        }
    }

    HWND wnd_ = nullptr;
    std::unique_ptr<KytOgl> ogl_;
    std::vector<std::unique_ptr<KytLink>> links_;
    std::deque<KytAnnotateData> records_;
    std::vector<std::unique_ptr<AuxAnnotate>> annotations_;
    std::vector<Place> places_;
};

void FrameDraw(benchmark::State& state)
{
    Stage& s = Stage::Get();
    for (auto _ : state)
        s.Annotated(true);
}

void FrameWalk(benchmark::State& state)
{
    Stage& s = Stage::Get();
    for (auto _ : state)
        s.Annotated(false);
}

void FrameRef(benchmark::State& state)
{
    Stage& s = Stage::Get();
    for (auto _ : state)
        s.Bare();
}

} // namespace

BENCHMARK(FrameDraw)->Name("AnnotationFrame.draw")->Unit(benchmark::kMillisecond);
BENCHMARK(FrameWalk)->Name("AnnotationFrame.walk")->Unit(benchmark::kMillisecond);
BENCHMARK(FrameRef)->Name("AnnotationFrame.ref")->Unit(benchmark::kMillisecond);
