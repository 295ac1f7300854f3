#include "scene/view/KytCamera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cfloat>
#include <cmath>

namespace {

constexpr double kRadPerDeg = 0.017453292519943278;

void LookAt(const WqVector3D& eye, const WqVector3D& at, const WqVector3D& up) {
    gluLookAt(eye.x, eye.y, eye.z, at.x, at.y, at.z, up.x, up.y, up.z);
}

// Unit length when the vector is long enough; left as it is otherwise.
void NormalizeIfPossible(WqVector3D& v) {
    const double len = v.Length();
    if (len > DBL_EPSILON) v /= len;
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
    LookAtPosition += shift;
}

void KytCamera::ShiftEye(const WqVector3D& delta) {
    EyePosition += delta;
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
}

bool KytCamera::ProjectUpAxis(const WqVector3D& o, WqVector3D& up) {
    switch (KYT_GetUpAxis()) {
    case 1:  up = WqVector3D(-o.y * o.x, o.x * o.x + o.z * o.z, -o.y * o.z); break;
    case 2:  up = WqVector3D(-o.z * o.x, -o.z * o.y, o.x * o.x + o.y * o.y); break;
    default: up = WqVector3D(o.z * o.z + o.y * o.y, -o.x * o.y, -o.x * o.z); break;
    }
    const double sq = up.Length2();
    const double len = std::sqrt(sq);
    if (sq > DBL_EPSILON && len > DBL_EPSILON) {
        up /= len;
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
    if (axis == 1) o = WqVector3D(h * sd, a, h * cd);
    else if (axis == 2) o = WqVector3D(h * cd, h * sd, a);
    else o = WqVector3D(a, h * cd, h * sd);

    EyePosition = LookAtPosition + o;

    WqVector3D up;
    if (ProjectUpAxis(o, up)) {
        if (ZenithAngle > 180.0f) up = -up;
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
        if (axis == 1) up = set ? WqVector3D(second, 0.0, first) : WqVector3D(up.x, 0.0, up.z);
        else if (axis == 2) up = set ? WqVector3D(first, second, 0.0) : WqVector3D(up.x, up.y, 0.0);
        else up = set ? WqVector3D(0.0, first, second) : WqVector3D(0.0, up.y, up.z);
    }
    ViewUpVector = up;

    NormalizeIfPossible(o);
    EyeOrientation = o;
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
}

void KytCamera::SetCamera(double distance, WqVector3D& direction) {
    EyeOrientation = direction;
    direction *= distance;
    EyePosition = LookAtPosition + direction;
    WqVector3D up;
    if (ProjectUpAxis(EyeOrientation, up) && ZenithAngle > 180.0f) up = -up;
    ViewUpVector = up;
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
}

WqVector3D KytCamera::Point2Vector(double scale, int x, int y, int width, int height) {
    if (width < 2 || height < 2) return WqVector3D::zero;
    const int hw = width / 2, hh = height / 2;
    const double k = scale / (hw < hh ? hw : hh);
    const WqVector3D side = EyeOrientation.Cross(ViewUpVector);
    double s = k * (hw - x);
    const double sq = side.Length2();
    if (sq > DBL_EPSILON && std::sqrt(sq) > DBL_EPSILON) s /= std::sqrt(sq);
    const double u = k * (hh - y);
    return LookAtPosition + side * s + ViewUpVector * u;
}

WqVector3D KytCamera::Point2Vector(double scale, int x, int y, int width, int height,
                                   const WqVector3D& base) {
    const WqVector3D p = KytCamera::Point2Vector(scale, x, y, width, height);
    const WqVector3D& o = EyeOrientation;
    const double f = o.Dot(LookAtPosition - base);
    return p - o * f;
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
    return WqVector3D(ox, oy, oz);
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
    const KytMech& p = kyt_links::WorldPlacement(link);
    EyeOrientation = -p.mRot.Column(2);
    WqVector3D up;
    if (!ProjectUpAxis(EyeOrientation, up)) {
        switch (KYT_GetUpAxis()) {
        case 1:  up = WqVector3D(-1.0, 0.0, 0.0); break;
        case 2:  up = WqVector3D(0.0, -1.0, 0.0); break;
        default: up = WqVector3D(0.0, 0.0, -1.0); break;
        }
    }
    ViewUpVector = up;
}

WqVector3D KytSectCamera::OntoSectionPlane(const WqVector3D& point) const {
    if (!SectionLink) return point;
    const WqVector3D& o = EyeOrientation;
    const WqVector3D t = kyt_links::WorldPlacement(SectionLink).vPos;
    const double f = o.Dot(t) - o.Dot(point);
    return point + o * f;
}

void KytSectCamera::SetCamera(double distance) {
    LookAtPosition = OntoSectionPlane(LookAtPosition);
    const WqVector3D& o = EyeOrientation;
    const WqVector3D eye = LookAtPosition + o * distance;
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
    if (link) Name = kyt_links::LinkName(link);
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
    const KytMech& p = kyt_links::WorldPlacement(Link);
    EyePosition = p.GetAbsPos(Offset);
    WqVector3D o = p.mRot.Multi(LookDirection) * Distance;
    LookAtPosition = EyePosition + o;
    ViewUpVector = p.mRot.Multi(UpDirection);
    LookAt(EyePosition, LookAtPosition, ViewUpVector);
    NormalizeIfPossible(o);
    EyeOrientation = -o;
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
