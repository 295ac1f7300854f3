#pragma once
// What the scene library stands on: the window system and GDI, the MFC subset, OpenGL and
// GLU, and the part-tree kernel. The library is written against the window-system names.
#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/kernel/KytColor.h"
#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "platform/kernel/KytStack.h"
#include "platform/kernel/TOKEN.h"
#include "platform/kernel/WqMatrix33D.h"
#include "platform/mfc/Afx.h"
#include "platform/wgl/Wgl.h"

using namespace quor::wgl;
