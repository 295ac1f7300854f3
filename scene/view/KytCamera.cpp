#include "scene/view/KytCamera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cfloat>
#include <cmath>

using kytview::Dot;
using kytview::LengthSq;
using kytview::Make;

namespace {

constexpr double kRadPerDeg = 0.017453292519943278;

void LookAt(const WqVector3D& eye, const WqVector3D& at, const WqVector3D& up) {
    gluLookAt(eye.x, eye.y, eye.z, at.x, at.y, at.z, up.x, up.y, up.z);
}

// Unit length when the vector is long enough; left as it is otherwise.
void NormalizeIfPossible(WqVector3D& v) {
    const double len = std::sqrt(LengthSq(v));
    if (len > DBL_EPSILON) v = Make(v.x / len, v.y / len, v.z / len);
}

}  // namespace

// ---- KytCamera -------------------------------------------------------------------------------

KytCamera::KytCamera() : Name("Default") {}

KytCamera::KytCamera(const char* name, float direct, float zenith)
    : Name(name), DirectAngle(direct), ZenithAngle(zenith) {}

KytCamera::KytCamera(const char* name, WqVector3D& lookAt, float direct, float zenith)
    : Name(name), DirectAngle(direct), ZenithAngle(zenith), LookAtPosition(lookAt) {}

KytCamera::KytCamera(const KytCamera& other)
    : ViewUpVector(other.ViewUpVector),
      EyeOrientation(other.EyeOrientation),
      ResetView(other.ResetView),
      EyePosition(other.EyePosition),
      Name(other.Name),
      DirectAngle(other.DirectAngle),
      ZenithAngle(other.ZenithAngle),
      LookAtPosition(other.LookAtPosition),
      Next(nullptr) {}

KytCamera& KytCamera::operator=(const KytCamera& other) {
    DirectAngle = other.DirectAngle;
    ZenithAngle = other.ZenithAngle;
    LookAtPosition = other.LookAtPosition;
    return *this;
}

KytCamera::~KytCamera() { delete Next; }

float KytCamera::NormalizeAngle(float angle) {
    if (std::fabs(angle) > 360.0f) angle = std::fmod(angle, 360.0f);
    if (angle < 0.0f) angle += 360.0f;
    return angle;
}

void KytCamera::Change(float direct, float zenith) {
    DirectAngle = NormalizeAngle(direct);
    ZenithAngle = NormalizeAngle(zenith);
}

void KytCamera::Change(float direct, float zenith, const WqVector3D& lookAt) {
    Change(direct, zenith);
    LookAtPosition = lookAt;
}

void KytCamera::Move(float dDirect, float dZenith) {
    Change(DirectAngle + dDirect, ZenithAngle + dZenith);
}

void KytCamera::Move(float dDirect, float dZenith, const WqVector3D& shift) {
    Move(dDirect, dZenith);
    LookAtPosition = Make(LookAtPosition.x + shift.x, LookAtPosition.y + shift.y,
                          LookAtPosition.z + shift.z);
}

void KytCamera::ShiftEye(const WqVector3D& delta) {
    EyePosition = Make(EyePosition.x + delta.x, EyePosition.y + delta.y, EyePosition.z + delta.z);
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
}

bool KytCamera::ProjectUpAxis(const WqVector3D& o, WqVector3D& up) {
    switch (KYT_GetUpAxis()) {
    case 1:  up = Make(-o.y * o.x, o.x * o.x + o.z * o.z, -o.y * o.z); break;
    case 2:  up = Make(-o.z * o.x, -o.z * o.y, o.x * o.x + o.y * o.y); break;
    default: up = Make(o.z * o.z + o.y * o.y, -o.x * o.y, -o.x * o.z); break;
    }
    const double sq = LengthSq(up);
    const double len = std::sqrt(sq);
    if (sq > DBL_EPSILON && len > DBL_EPSILON) {
        up = Make(up.x / len, up.y / len, up.z / len);
        return true;
    }
    return false;
}

void KytCamera::SetCamera(double distance) {
    const double zDeg = std::fabs(ZenithAngle), dDeg = std::fabs(DirectAngle);
    const double z = ZenithAngle * kRadPerDeg;
    const double d = DirectAngle * kRadPerDeg;
    // Exact zeros where the trigonometry would leave rounding dust, so straight views stay
    // straight.
    const double a = (zDeg == 90.0 || zDeg == 270.0) ? 0.0 : distance * std::cos(z);
    const double h = (zDeg <= DBL_EPSILON || zDeg == 180.0) ? 0.0 : distance * std::sin(z);
    const double cd = (dDeg == 90.0 || dDeg == 270.0) ? 0.0 : std::cos(d);
    const double sd = (dDeg <= DBL_EPSILON || dDeg == 180.0) ? 0.0 : std::sin(d);

    const int axis = KYT_GetUpAxis();
    WqVector3D o;
    if (axis == 1) o = Make(h * sd, a, h * cd);
    else if (axis == 2) o = Make(h * cd, h * sd, a);
    else o = Make(a, h * cd, h * sd);

    EyePosition = Make(LookAtPosition.x + o.x, LookAtPosition.y + o.y, LookAtPosition.z + o.z);

    WqVector3D up;
    if (ProjectUpAxis(o, up)) {
        if (ZenithAngle > 180.0f) up = Make(-up.x, -up.y, -up.z);
    } else {
        // Looking straight along the up axis: the up vector comes from the direct angle.
        // The fallback applies whenever the projection could not be normalised; a zenith of
        // 360 leaves rounding dust in the projection rather than an exact zero.
        double first = 0.0, second = 0.0;
        bool set = true;
        if (ZenithAngle == 0.0f) {
            first = -cd;
            second = -sd;
        } else if (ZenithAngle == 360.0f || ZenithAngle == 180.0f) {
            first = cd;
            second = sd;
        } else {
            set = false;
        }
        // Horizontal axes in the order of the orientation above: the first takes the cosine.
        if (axis == 1) up = set ? Make(second, 0.0, first) : Make(up.x, 0.0, up.z);
        else if (axis == 2) up = set ? Make(first, second, 0.0) : Make(up.x, up.y, 0.0);
        else up = set ? Make(0.0, first, second) : Make(0.0, up.y, up.z);
    }
    ViewUpVector = up;

    NormalizeIfPossible(o);
    EyeOrientation = o;
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
}

void KytCamera::SetCamera(double distance, WqVector3D& direction) {
    EyeOrientation = direction;
    direction = Make(direction.x * distance, direction.y * distance, direction.z * distance);
    EyePosition = Make(LookAtPosition.x + direction.x, LookAtPosition.y + direction.y,
                       LookAtPosition.z + direction.z);
    WqVector3D up;
    if (ProjectUpAxis(EyeOrientation, up) && ZenithAngle > 180.0f) up = Make(-up.x, -up.y, -up.z);
    ViewUpVector = up;
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
}

WqVector3D KytCamera::Point2Vector(double scale, int x, int y, int width, int height) {
    if (width < 2 || height < 2) return WqVector3D::zero;
    const int hw = width / 2, hh = height / 2;
    const double k = scale / (hw < hh ? hw : hh);
    const WqVector3D side = kytview::CrossOf(EyeOrientation, ViewUpVector);
    double s = k * (hw - x);
    const double sq = LengthSq(side);
    if (sq > DBL_EPSILON && std::sqrt(sq) > DBL_EPSILON) s /= std::sqrt(sq);
    const double u = k * (hh - y);
    return Make(LookAtPosition.x + s * side.x + u * ViewUpVector.x,
                LookAtPosition.y + s * side.y + u * ViewUpVector.y,
                LookAtPosition.z + s * side.z + u * ViewUpVector.z);
}

WqVector3D KytCamera::Point2Vector(double scale, int x, int y, int width, int height,
                                   const WqVector3D& base) {
    const WqVector3D p = KytCamera::Point2Vector(scale, x, y, width, height);
    const WqVector3D& o = EyeOrientation;
    const double f = Dot(o, Make(LookAtPosition.x - base.x, LookAtPosition.y - base.y,
                                 LookAtPosition.z - base.z));
    return Make(p.x - f * o.x, p.y - f * o.y, p.z - f * o.z);
}

WqVector3D KytCamera::Point2VectorP(int x, int y, const WqVector3D& base) {
    GLint viewport[4];
    GLdouble model[16], projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(base.x, base.y, base.z, model, projection, viewport, &wx, &wy, &wz);
    GLdouble ox = 0, oy = 0, oz = 0;
    gluUnProject(x, viewport[3] - y, wz, model, projection, viewport, &ox, &oy, &oz);
    return Make(ox, oy, oz);
}

WqVector3D KytCamera::Point2VectorP(int x, int y) { return Point2VectorP(x, y, LookAtPosition); }

// ---- KytSectCamera ---------------------------------------------------------------------------

KytSectCamera::KytSectCamera(KytLink* link) : KytCamera() { ChangeLink(link); }

// The base copies own no chain, so member-wise copies are right for the derived parts.
KytSectCamera::KytSectCamera(const KytSectCamera& other) = default;
KytSectCamera& KytSectCamera::operator=(const KytSectCamera& other) = default;

KytSectCamera::~KytSectCamera() = default;

void KytSectCamera::ChangeLink(KytLink* link) {
    SectionLink = link;
    // Without a part there is no plane: the previous orientation stays.
    if (!link) return;
    const kytview::Placement& p = kytview::WorldPlacement(link);
    EyeOrientation = Make(-p.mRot.m[0][2], -p.mRot.m[1][2], -p.mRot.m[2][2]);
    WqVector3D up;
    if (!ProjectUpAxis(EyeOrientation, up)) {
        switch (KYT_GetUpAxis()) {
        case 1:  up = Make(-1.0, 0.0, 0.0); break;
        case 2:  up = Make(0.0, -1.0, 0.0); break;
        default: up = Make(0.0, 0.0, -1.0); break;
        }
    }
    ViewUpVector = up;
}

WqVector3D KytSectCamera::OntoSectionPlane(const WqVector3D& point) const {
    if (!SectionLink) return point;
    const WqVector3D& o = EyeOrientation;
    const WqVector3D t = kytview::WorldPlacement(SectionLink).vPos;
    const double f = Dot(o, t) - Dot(o, point);
    return Make(point.x + f * o.x, point.y + f * o.y, point.z + f * o.z);
}

void KytSectCamera::SetCamera(double distance) {
    LookAtPosition = OntoSectionPlane(LookAtPosition);
    const WqVector3D& o = EyeOrientation;
    const WqVector3D eye = Make(LookAtPosition.x + distance * o.x, LookAtPosition.y + distance * o.y,
                                LookAtPosition.z + distance * o.z);
    LookAt(eye, LookAtPosition, ViewUpVector);
}

WqVector3D KytSectCamera::Point2Vector(double scale, int x, int y, int width, int height) {
    NormalizeIfPossible(EyeOrientation);
    return OntoSectionPlane(KytCamera::Point2Vector(scale, x, y, width, height));
}

WqVector3D KytSectCamera::Point2Vector(double scale, int x, int y, int width, int height,
                                       const WqVector3D&) {
    return OntoSectionPlane(KytCamera::Point2Vector(scale, x, y, width, height));
}

// ---- KytTraceCamera --------------------------------------------------------------------------

KytTraceCamera::KytTraceCamera(KytLink* link, const WqVector3D& lookDirection,
                               const WqVector3D& offset, const WqVector3D& up, double distance)
    : KytCamera(), Link(link), Offset(offset), LookDirection(lookDirection), UpDirection(up),
      Distance(distance) {
    if (link) Name = kytview::LinkName(link);
    ResetView = true;
}

KytTraceCamera::KytTraceCamera(const KytTraceCamera& other) = default;
KytTraceCamera& KytTraceCamera::operator=(const KytTraceCamera& other) = default;

KytTraceCamera::~KytTraceCamera() = default;

void KytTraceCamera::SetCamera(double) {
    // Without a part to ride on, the last eye stays where it was.
    if (!Link) {
        LookAt(EyePosition, LookAtPosition, ViewUpVector);
        return;
    }
    const kytview::Placement& p = kytview::WorldPlacement(Link);
    EyePosition = kytview::Add(kytview::Rotate(p, Offset), p.vPos);
    WqVector3D o = kytview::Rotate(p, LookDirection);
    o = Make(o.x * Distance, o.y * Distance, o.z * Distance);
    LookAtPosition = kytview::Add(EyePosition, o);
    ViewUpVector = kytview::Rotate(p, UpDirection);
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
    NormalizeIfPossible(o);
    EyeOrientation = Make(-o.x, -o.y, -o.z);
}

void KytTraceCamera::GetSpotParameter(float position[4], float direction[3]) const {
    position[0] = static_cast<float>(EyePosition.x);
    position[1] = static_cast<float>(EyePosition.y);
    position[2] = static_cast<float>(EyePosition.z);
    position[3] = 1.0f;
    direction[0] = static_cast<float>(-EyeOrientation.x);
    direction[1] = static_cast<float>(-EyeOrientation.y);
    direction[2] = static_cast<float>(-EyeOrientation.z);
}
