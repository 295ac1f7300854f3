#pragma once
// The projection side of a view: radius, eye distance, orthographic or perspective projection,
// clip planes and aspect. Owns the scene's cameras and fits the view to a part tree.

#include "scene/view/KytCamera.h"

struct KytRealScale {
    int Flag = 0;
    double Scale = 0.0;
    double Base = 0.0;
};

class KytViewPort {
public:
    static double lfFarRate;

    KytViewPort();
    // The copy looks through the source's cameras but does not own them: only the source
    // frees its list.
    KytViewPort(const KytViewPort& other);
    // Takes the projection values and, when both have cameras, the head camera's view.
    KytViewPort& operator=(const KytViewPort& other);
    virtual ~KytViewPort();

    virtual bool AddScale(float delta);
    virtual void SetCamera();
    virtual WqVector3D CalcBoundingBox(KytLink* root);
    virtual WqVector3D SetBoundingBox(const WqVector3D& min, const WqVector3D& max);
    virtual void CalcViewFovy(double radius);

    void Create(KytLink* root, int x, int y, int width, int height);
    void SetProjection();
    void SetProjection(double aspect);
    short AddCamera(KytCamera* camera);
    KytCamera* SearchCamera(const char* name) const;
    bool Zoom(float direction);
    void ZoomEnd() { RadiusBack = ViewRadius; }
    void SetViewRadius(double radius);
    void ResetViewRadius(double radius, bool keepRealScale);
    void SetRadius(double radius);
    void SetZClip(double rate);
    void SetCamera(double factor);
    void ChangeViewPoint(float direct, float zenith);
    void ChangeViewPoint(float direct, float zenith, WqVector3D& lookAt);
    void ChangeViewPoint(WqVector3D& direction);
    void MoveViewPoint(float dDirect, float dZenith);
    void MoveViewPoint(float dDirect, float dZenith, const WqVector3D& shift);

    // 0 before the first camera exists.
    float GetDirectAngle() const { return ActiveCamera ? ActiveCamera->GetDirectAngle() : 0.0f; }
    float GetZenithAngle() const { return ActiveCamera ? ActiveCamera->GetZenithAngle() : 0.0f; }
    double GetAspect() const { return Aspect; }
    double GetZoomAngle() const { return ZoomAngle; }
    double GetRadiusBack() const { return RadiusBack; }

    // Read access for the scene family and for tests.
    double GetViewRadius() const { return ViewRadius; }
    double GetEyeDistance() const { return EyeDistance; }
    double GetNearClip() const { return NearClip; }
    double GetFarClip() const { return FarClip; }
    double GetBaseRadius() const { return BaseRadius; }
    int GetProjectionMode() const { return ProjectionMode; }
    void SetProjectionMode(int mode) { ProjectionMode = mode; }
    KytCamera* GetActiveCamera() const { return ActiveCamera; }
    KytCamera* GetCameras() const { return Cameras; }
    short GetCameraCount() const { return CameraCount; }
    const KytRealScale& GetRealScale() const { return RealScale; }
    KytRealScale& GetRealScale() { return RealScale; }
    const WqVector3D& GetBoxMin() const { return BoxMin; }
    const WqVector3D& GetBoxMax() const { return BoxMax; }
    // The special views set their own eye-distance factor and depth range.
    double GetDistanceRate() const { return DistanceRate; }
    void SetDistanceRate(double rate) { DistanceRate = rate; }
    void SetBaseRadius(double radius) { BaseRadius = radius; }
    // Eye distance `distance`, near plane 0 and the far plane at the far rate beyond it.
    void SetViewDistance(double distance)
    {
        EyeDistance = distance;
        NearClip = 0.0;
        FarClip = FarRate * distance;
    }

protected:
    virtual bool CalcLinkBoundingBox(KytLink* link);

    WqVector3D BoxMin;
    WqVector3D BoxMax;
    double ViewRadius = 1000.0;
    double EyeDistance = 2000.0;
    int ProjectionMode = 1;
    KytCamera* ActiveCamera = nullptr;
    double DistanceRate = 2.5;
    double BaseRadius = 1000.0;
    KytRealScale RealScale;
    KytCamera* Cameras = nullptr;
    short CameraCount = 0;
    double ZoomAngle = 53.13010235415604;
    double NearClip = 0.0;
    double FarClip;
    double FarRate;
    double Aspect = 1.0;
    double RadiusBack = 1000.0;
    bool OwnsCameras = true;

    friend class KytScene;
};

// A perspective view from an eye point (walk-through): fixed field of view and a uniform scale;
// it never refits to the part tree.
class KytEyeViewPort : public KytViewPort {
public:
    KytEyeViewPort();
    KytEyeViewPort(const KytEyeViewPort& other);
    KytEyeViewPort& operator=(const KytEyeViewPort& other);
    ~KytEyeViewPort() override;

    bool AddScale(float delta) override;
    using KytViewPort::SetCamera;
    void SetCamera() override;
    WqVector3D CalcBoundingBox(KytLink* root) override;
    WqVector3D SetBoundingBox(const WqVector3D& min, const WqVector3D& max) override;
    void CalcViewFovy(double radius) override;

    float GetScale() const { return Scale; }

protected:
    float Scale = 1.0f;
};
