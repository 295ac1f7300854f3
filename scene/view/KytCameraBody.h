#pragma once

#include <GL/gl.h>

// The camera mark's body: a closed box from (-s, -2s, 0) to (s, s, 4s), drawn as triangles
// with a normal per face.
inline void DrawCameraBody(float s)
{
    struct Face {
        float n[3];
        float c[4][3];
    };
    const float x0 = -s, x1 = s, y0 = -2 * s, y1 = s, z0 = 0, z1 = 4 * s;
    const Face faces[6] = {
        {{0, 0, -1}, {{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}},
        {{0, -1, 0}, {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}},
        {{-1, 0, 0}, {{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}}},
        {{0, 1, 0}, {{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}}},
        {{1, 0, 0}, {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}},
        {{0, 0, 1}, {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}},
    };
    glBegin(GL_TRIANGLES);
    for (const Face& f : faces) {
        glNormal3fv(f.n);
        for (int k : {0, 1, 2, 0, 2, 3})
            glVertex3fv(f.c[k]);
    }
    glEnd();
}
