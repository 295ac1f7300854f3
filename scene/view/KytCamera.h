#pragma once
// Where a scene is looked at from: the model-view side of a view. The viewport owns a list of
// cameras and asks the active one to load its matrix each time it rebuilds the view.

#include "scene/view/KernelLinks.h"
#include "scene/view/KytPlatform.h"

class KytCamera {
public:
    KytCamera();
    KytCamera(const char* name, float direct, float zenith);
    KytCamera(const char* name, WqVector3D& lookAt, float direct, float zenith);
    // A copy stands alone: it is in no list, so it never frees the source's followers.
    KytCamera(const KytCamera& other);
    // Takes the view only: the two angles and the look-at point.
    KytCamera& operator=(const KytCamera& other);
    virtual ~KytCamera();

    bool IsResetView() const { return ResetView; }
    const WqVector3D& GetEyePosition() const { return EyePosition; }
    const WqVector3D& GetLookAtPosition() const { return LookAtPosition; }
    const WqVector3D& GetEyeOrientation() const { return EyeOrientation; }
    const WqVector3D& GetViewUpVector() const { return ViewUpVector; }
    void GetEyePosition(WqVector3D& out) const { out = EyePosition; }
    void GetLookAtPosition(WqVector3D& out) const { out = LookAtPosition; }
    void GetEyeOrientation(WqVector3D& out) const { out = EyeOrientation; }
    void GetViewUpVector(WqVector3D& out) const { out = ViewUpVector; }
    void SetViewUpVector(const WqVector3D& up) { ViewUpVector = up; }
    void SetLookAtPosition(const WqVector3D& at) { LookAtPosition = at; }

    const CString& GetName() const { return Name; }
    float GetDirectAngle() const { return DirectAngle; }
    float GetZenithAngle() const { return ZenithAngle; }
    KytCamera* GetNext() const { return Next; }

    void Change(float direct, float zenith);
    void Change(float direct, float zenith, const WqVector3D& lookAt);
    void Move(float dDirect, float dZenith);
    void Move(float dDirect, float dZenith, const WqVector3D& shift);
    void ShiftEye(const WqVector3D& delta);

    // Eye from the two angles at `distance` from the look-at point; loads gluLookAt.
    virtual void SetCamera(double distance);
    // Eye along `direction` (scaled by `distance` in place); loads gluLookAt.
    virtual void SetCamera(double distance, WqVector3D& direction);

protected:
    virtual WqVector3D Point2Vector(double scale, int x, int y, int width, int height,
                                    const WqVector3D& base);
    virtual WqVector3D Point2Vector(double scale, int x, int y, int width, int height);
    virtual WqVector3D Point2VectorP(int x, int y, const WqVector3D& base);
    virtual WqVector3D Point2VectorP(int x, int y);

    // The up axis with its component along `orientation` removed; true when it could be
    // brought to unit length.
    static bool ProjectUpAxis(const WqVector3D& orientation, WqVector3D& up);
    static float NormalizeAngle(float angle);

    WqVector3D ViewUpVector;
    WqVector3D EyeOrientation;
    bool ResetView = false;
    WqVector3D EyePosition;
    CString Name;
    float DirectAngle = 54.0f;
    float ZenithAngle = 45.0f;
    WqVector3D LookAtPosition;
    KytCamera* Next = nullptr;

    friend class KytViewPort;
    friend class KytEyeViewPort;
    friend class KytScene;
    friend class KytLight;
    friend class KytTraceLight;
};

// Looks perpendicularly at the section plane of a part: the plane through the part's origin
// normal to its local Z axis.
class KytSectCamera : public KytCamera {
public:
    explicit KytSectCamera(KytLink* link);
    KytSectCamera(const KytSectCamera& other);
    KytSectCamera& operator=(const KytSectCamera& other);
    ~KytSectCamera() override;

    void ChangeLink(KytLink* link);
    KytLink* GetLink() const { return SectionLink; }

    using KytCamera::SetCamera;
    void SetCamera(double distance) override;

protected:
    WqVector3D Point2Vector(double scale, int x, int y, int width, int height,
                            const WqVector3D& base) override;
    WqVector3D Point2Vector(double scale, int x, int y, int width, int height) override;

    KytLink* SectionLink = nullptr;

private:
    WqVector3D OntoSectionPlane(const WqVector3D& point) const;
};

// Rides on a part: eye, view direction and up vector are given in the part's own frame.
class KytTraceCamera : public KytCamera {
public:
    KytTraceCamera(KytLink* link, const WqVector3D& lookDirection, const WqVector3D& offset,
                   const WqVector3D& up, double distance);
    KytTraceCamera(const KytTraceCamera& other);
    KytTraceCamera& operator=(const KytTraceCamera& other);
    ~KytTraceCamera() override;

    void ChangeTarget(KytLink* link) { Link = link; }
    void ChangeOffset(const WqVector3D& offset) { Offset = offset; }
    KytLink* GetLink() const { return Link; }
    // Eye as a homogeneous point (w = 1) and the viewing direction, for a head lamp.
    void GetSpotParameter(float position[4], float direction[3]) const;

    using KytCamera::SetCamera;
    void SetCamera(double distance) override;

protected:
    KytLink* Link = nullptr;
    WqVector3D Offset;
    WqVector3D LookDirection;
    WqVector3D UpDirection;
    double Distance = 0.0;
};
