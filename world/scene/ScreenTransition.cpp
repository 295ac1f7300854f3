#include "world/scene/ScreenTransition.h"

namespace quor::world {

void ScreenTransition::SetUp(int mode, float w, float h) {
    m_w = w;
    m_h0 = h;
    switch (mode) {
        case 0:
            m_mode = 0;
            break;
        case 1: {
            const float step = w / 16.0f;
            for (int i = 0; i < 16; ++i) m_x[i] = w - float(i) * step;
            m_mode = 1;
            break;
        }
        case 2:
            m_x[0] = m_x[1] = w / 2.0f;
            m_mode = 2;
            break;
        case 3: {
            const float step = w / 16.0f;
            for (int i = 0; i < 16; ++i) m_x[i] = float(i) * step;
            m_mode = 3;
            break;
        }
        case 4: {
            const float step = w / 30.0f;
            for (int i = 0; i < 30; ++i) {
                m_x[i] = float(i) * step;
                m_h[i] = i % 2 == 0 ? h : 0.0f;
            }
            m_mode = 4;
            break;
        }
        default:
            break;
    }
}

int ScreenTransition::Step(float frameMs, float speed, const DrawPart& draw) {
    if (m_mode == 0) return 0;
    const float W = m_w, H = m_h0;
    const float share = frameMs / speed;
    int state = -1;
    auto part = [&](int index, float l, float t, float r, float b, float u0, float v0, float u1, float v1) {
        const float rect[4] = {l, t, r, b};
        const float tex[4] = {u0, v0, u1, v1};
        if (draw) draw(index, rect, tex);
    };
    auto end = [&] {
        m_mode = 0;
        state = 2;
    };
    switch (m_mode) {
        case 2: {
            part(0, 0, 0, m_x[0], H, 0, 0, m_x[0] / W, 1);
            if (m_x[0] > 0.0f)
                m_x[0] -= W / 2.0f * share;
            else
                end();
            part(1, m_x[1], 0, W, H, m_x[1] / W, 0, 1, 1);
            // Whichever half arrives first ends the transition, and the state word says so.
            if (m_x[1] < W)
                m_x[1] += W / 2.0f * share;
            else
                end();
            break;
        }
        case 1: {
            for (int i = 0; i < 16 && m_mode == 1; ++i) {
                const float left = W - float(i + 1) * (W / 16.0f);
                part(i, left, 0, m_x[i], H, left / W, 0, m_x[i] / W, 1);
                if (m_x[15] > 0.0f)
                    m_x[i] -= W / 16.0f * share;
                else
                    end();
            }
            break;
        }
        case 3: {
            for (int i = 0; i < 16 && m_mode == 3; ++i) {
                const float right = float(i + 1) * (W / 16.0f);
                part(i, m_x[i], 0, right, H, m_x[i] / W, 0, right / W, 1);
                if (m_x[15] >= W)
                    end();
                else
                    m_x[i] += W / 16.0f * share;
            }
            break;
        }
        case 4: {
            for (int i = 0; i < 30 && m_mode == 4; ++i) {
                const float right = float(i + 1) * (W / 30.0f);
                if (i % 2 == 0) {
                    part(i, m_x[i], 0, right, m_h[i], m_x[i] / W, 0, right / W, m_h[i] / H);
                    if (m_h[28] > -10.0f)
                        m_h[i] -= H * share;
                    else
                        end();
                } else {
                    part(i, m_x[i], m_h[i], right, H, m_x[i] / W, m_h[i] / H, right / W, 1);
                    if (m_h[29] < H + 10.0f)
                        m_h[i] += H * share;
                    else
                        end();
                }
            }
            break;
        }
        default:
            break;
    }
    return state;
}

}  // namespace quor::world
