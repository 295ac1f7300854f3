#pragma once
// The drawing surface of the annotation benchmarks: a size x size stand-in window with its GL
// context current, a parallel view of one unit per pixel, and the view the annotations'
// window projections read.

#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/view/KytOgl.h"

#include <GL/gl.h>

#include <memory>

inline std::unique_ptr<KytOgl> MakeAnnotationStage(int size, quor::wgl::HWND& wnd)
{
    wnd = quor::wgl::CreateStandInWindow(size, size);
    auto ogl = std::make_unique<KytOgl>(wnd, 32, 24);
    ogl->Create(size, size);
    ogl->MakeCurrent();
    glViewport(0, 0, size, size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, size, 0, size, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glGetDoublev(GL_MODELVIEW_MATRIX, AuxAnnotate::modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, AuxAnnotate::projM);
    glGetIntegerv(GL_VIEWPORT, AuxAnnotate::viewP);
    return ogl;
}
