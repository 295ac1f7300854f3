#include "scene/view/KytViewPort.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>

double KytViewPort::lfFarRate = 5.0;

namespace {
constexpr double kFloatMax = 3.4028234663852886e38;
}

KytViewPort::KytViewPort() : FarClip(lfFarRate * 2000.0), FarRate(lfFarRate) {}

KytViewPort::KytViewPort(const KytViewPort& other)
    : BoxMin(other.BoxMin),
      BoxMax(other.BoxMax),
      ViewRadius(other.ViewRadius),
      EyeDistance(other.EyeDistance),
      ProjectionMode(other.ProjectionMode),
      ActiveCamera(other.ActiveCamera),
      DistanceRate(other.DistanceRate),
      BaseRadius(other.BaseRadius),
      RealScale(other.RealScale),
      Cameras(other.Cameras),
      CameraCount(other.CameraCount),
      ZoomAngle(other.ZoomAngle),
      NearClip(other.NearClip),
      FarClip(other.FarClip),
      FarRate(other.FarRate),
      Aspect(other.Aspect),
      RadiusBack(other.RadiusBack),
      OwnsCameras(false) {}

KytViewPort& KytViewPort::operator=(const KytViewPort& other) {
    ZoomAngle = other.ZoomAngle;
    NearClip = other.NearClip;
    FarClip = other.FarClip;
    RadiusBack = other.RadiusBack;
    ViewRadius = other.ViewRadius;
    EyeDistance = other.EyeDistance;
    ProjectionMode = other.ProjectionMode;
    DistanceRate = other.DistanceRate;
    if (Cameras && other.Cameras) {
        Cameras->DirectAngle = other.Cameras->DirectAngle;
        Cameras->ZenithAngle = other.Cameras->ZenithAngle;
        Cameras->LookAtPosition = other.Cameras->LookAtPosition;
        SetCamera();
    }
    return *this;
}

KytViewPort::~KytViewPort() {
    if (OwnsCameras) delete Cameras;
}

bool KytViewPort::AddScale(float) { return false; }

void KytViewPort::SetProjection() {
    const double r = ViewRadius, a = Aspect;
    if (ProjectionMode) {
        if (a >= 1.0) glOrtho(-a * r, a * r, -r, r, NearClip, FarClip);
        else glOrtho(-r, r, -r / a, r / a, NearClip, FarClip);
    } else {
        gluPerspective(ZoomAngle, Aspect, 10.0, FarClip);
    }
}

void KytViewPort::SetProjection(double aspect) {
    Aspect = aspect;
    SetProjection();
}

void KytViewPort::SetCamera() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    SetProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (ActiveCamera) ActiveCamera->SetCamera(EyeDistance);
}

void KytViewPort::SetCamera(double factor) {
    EyeDistance = DistanceRate * ViewRadius * factor;
    FarClip = EyeDistance * FarRate;
    SetCamera();
}

void KytViewPort::CalcViewFovy(double radius) {
    double y = radius;
    if (Aspect < 1.0) y /= Aspect;
    ZoomAngle = std::atan2(y, EyeDistance) * 114.59155902616477;
}

void KytViewPort::Create(KytLink* root, int x, int y, int width, int height) {
    // A window of no height keeps the last aspect rather than an infinite one.
    if (height > 0) Aspect = static_cast<double>(width) / static_cast<double>(height);
    if (!ActiveCamera) {
        WqVector3D centre = root ? CalcBoundingBox(root) : WqVector3D::zero;
        if (ActiveCamera) {
            ActiveCamera->LookAtPosition = centre;
        } else {
            AddCamera(new KytCamera("Default", centre, 45.0f, 54.0f));
        }
    }
    BaseRadius = ViewRadius;
    SetCamera();
    glViewport(x, y, width, height);
}

short KytViewPort::AddCamera(KytCamera* camera) {
    const short index = CameraCount;
    if (!camera) return index;
    camera->Next = nullptr;
    if (!Cameras) {
        Cameras = camera;
    } else {
        KytCamera* tail = Cameras;
        while (tail->Next) tail = tail->Next;
        tail->Next = camera;
    }
    ActiveCamera = camera;
    ++CameraCount;
    return index;
}

KytCamera* KytViewPort::SearchCamera(const char* name) const {
    if (!name) return nullptr;
    for (KytCamera* c = Cameras; c; c = c->Next)
        if (std::strcmp(static_cast<const char*>(c->Name), name) == 0) return c;
    return nullptr;
}

bool KytViewPort::Zoom(float direction) {
    if (direction == 0.0f) return false;
    const double r = ViewRadius * (direction > 0.0f ? 1.1 : 0.9);
    if (!(r > 0.0)) return false;
    CalcViewFovy(r);
    ViewRadius = r;
    RealScale.Flag = 0;
    SetCamera();
    return true;
}

void KytViewPort::SetViewRadius(double radius) {
    CalcViewFovy(radius);
    ViewRadius = RadiusBack = radius;
    RealScale.Flag = 0;
    SetCamera();
}

void KytViewPort::ResetViewRadius(double radius, bool keepRealScale) {
    CalcViewFovy(radius);
    if (!keepRealScale) RealScale.Flag = 0;
    ViewRadius = RadiusBack = radius;
}

void KytViewPort::SetRadius(double radius) {
    ViewRadius = radius;
    RealScale.Flag = 0;
}

void KytViewPort::SetZClip(double rate) {
    NearClip = 0.0;
    FarClip = FarRate * DistanceRate * rate;
}

void KytViewPort::ChangeViewPoint(float direct, float zenith) {
    if (!ActiveCamera) return;
    ActiveCamera->Change(direct, zenith);
    SetCamera();
}

void KytViewPort::ChangeViewPoint(float direct, float zenith, WqVector3D& lookAt) {
    if (!ActiveCamera) return;
    ActiveCamera->Change(direct, zenith, lookAt);
    SetCamera();
}

void KytViewPort::ChangeViewPoint(WqVector3D& direction) {
    if (!ActiveCamera) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    SetProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ActiveCamera->SetCamera(EyeDistance, direction);
}

void KytViewPort::MoveViewPoint(float dDirect, float dZenith) {
    if (!ActiveCamera) return;
    ActiveCamera->Move(dDirect, dZenith);
    SetCamera();
}

void KytViewPort::MoveViewPoint(float dDirect, float dZenith, const WqVector3D& shift) {
    if (!ActiveCamera) return;
    ActiveCamera->Move(dDirect, dZenith, shift);
    SetCamera();
}

WqVector3D KytViewPort::CalcBoundingBox(KytLink* root) {
    BoxMin = WqVector3D(kFloatMax, kFloatMax, kFloatMax);
    BoxMax = -BoxMin;
    if (root && CalcLinkBoundingBox(root)) return SetBoundingBox(BoxMin, BoxMax);
    return WqVector3D::zero;
}

bool KytViewPort::CalcLinkBoundingBox(KytLink* link) {
    bool any = false;
    for (KytLink* l = link; l; l = kyt_links::NextSibling(l)) {
        WqVector3D lo, hi;
        if (kyt_links::ShapeBox(l, lo, hi)) {
            const KytMech& p = kyt_links::WorldPlacement(l);
            for (const WqVector3D* corner : {&lo, &hi}) {
                const WqVector3D w = p.GetAbsPos(*corner);
                for (int i = 0; i < 3; ++i) {
                    BoxMin[i] = std::min(BoxMin[i], w[i]);
                    BoxMax[i] = std::max(BoxMax[i], w[i]);
                }
            }
            any = true;
        }
        if (KytLink* child = kyt_links::FirstChild(l)) {
            if (CalcLinkBoundingBox(child)) any = true;
        }
    }
    return any;
}

WqVector3D KytViewPort::SetBoundingBox(const WqVector3D& min, const WqVector3D& max) {
    const WqVector3D centre = (min + max) * 0.5;
    const double radius = (max - min).Length() / 2;
    // A box without extent would leave a radius of 0, which no scaled move could grow again:
    // the view keeps its radius and only looks at the box.
    if (!(radius > 0.0)) {
        if (ActiveCamera) ActiveCamera->LookAtPosition = centre;
        return centre;
    }
    // The field of view is measured at the new eye distance: taken at the old one, a refit of
    // a fresh viewport would look at a box of radius 8 from 2000 units and see a speck.
    EyeDistance = radius * DistanceRate;
    CalcViewFovy(radius);
    ViewRadius = RadiusBack = radius;
    NearClip = 0.0;
    FarClip = EyeDistance * FarRate;
    RealScale.Flag = 0;
    if (ActiveCamera) ActiveCamera->LookAtPosition = centre;
    return centre;
}

// ---- KytEyeViewPort --------------------------------------------------------------------------

KytEyeViewPort::KytEyeViewPort() : KytViewPort() {
    Aspect = 2.0;
    ViewRadius = 1200.0;
    EyeDistance = 2000.0;
    ZoomAngle = 42.0;
    NearClip = 12.0;
    FarClip = 20000.0;
    ProjectionMode = 0;
    Scale = 1.0f;
}

KytEyeViewPort::KytEyeViewPort(const KytEyeViewPort& other) = default;
KytEyeViewPort& KytEyeViewPort::operator=(const KytEyeViewPort& other) {
    // The base assignment reloads the matrices through SetCamera, which applies the scale:
    // take the new scale first.
    Scale = other.Scale;
    KytViewPort::operator=(other);
    return *this;
}

KytEyeViewPort::~KytEyeViewPort() = default;

bool KytEyeViewPort::AddScale(float delta) {
    const float s = Scale + delta;
    if (s < 0.1f || s > 100.0f) return false;
    Scale = s;
    return true;
}

void KytEyeViewPort::SetCamera() {
    KytViewPort::SetCamera();
    glScalef(Scale, Scale, Scale);
}

WqVector3D KytEyeViewPort::CalcBoundingBox(KytLink*) {
    return ActiveCamera ? ActiveCamera->LookAtPosition : WqVector3D::zero;
}

WqVector3D KytEyeViewPort::SetBoundingBox(const WqVector3D&, const WqVector3D&) {
    return ActiveCamera ? ActiveCamera->LookAtPosition : WqVector3D::zero;
}

void KytEyeViewPort::CalcViewFovy(double) { ZoomAngle = 42.0; }
