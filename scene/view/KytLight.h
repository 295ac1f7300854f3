#pragma once
// One fixed-function OpenGL light: colours, position, spot cone and attenuation, each sent only
// when its flag says so. The scene list owns a chain of lights shared by every scene.

#include "scene/view/KytCamera.h"

class KytLight {
public:
    KytLight();
    explicit KytLight(const char* name);
    // A copy stands alone: it is in no list, so it never frees the source's followers.
    KytLight(const KytLight& other);
    // Takes every setting; this light keeps its own place in its list.
    KytLight& operator=(const KytLight& other);
    virtual ~KytLight();

    virtual void Update(unsigned int lightId);

    void Create(unsigned int lightId);
    void ChangeSpotLight(unsigned int lightId);
    void SetAmbient(float r, float g, float b);
    void SetDiffuse(float r, float g, float b);
    void SetSpecular(float r, float g, float b);
    void SetPosition(const float position[3]);
    void SetSpotLigt(float exponent, float cutoff);
    void SetSpotDirection(const float direction[3]);
    void SetAttenuation(float constant, float linear, float quadratic);
    void SetAlpha(float alpha);

    const CString& GetName() const { return Name; }
    KytLight* GetNext() const { return Next; }
    void SetNext(KytLight* next) { Next = next; }
    bool IsEnabled() const { return Enabled; }
    void SetEnabled(bool on) { Enabled = on; }
    bool IsUpdateEachDraw() const { return UpdateEachDraw; }
    float GetAlpha() const { return Alpha; }
    bool IsUseAlpha() const { return UseAlpha; }
    void SetUseAlpha(bool on) { UseAlpha = on; }
    const float* GetAmbient() const { return Ambient; }
    const float* GetDiffuse() const { return Diffuse; }
    const float* GetSpecular() const { return Specular; }
    const float* GetPosition() const { return Position; }
    const float* GetSpotDirection() const { return SpotDirection; }

protected:
    CString Name;
    KytLight* Next = nullptr;
    bool Enabled = true;
    bool UseAmbient = true;
    float Ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    bool UseDiffuse = true;
    float Diffuse[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    bool UseSpecular = false;
    float Specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    bool UseAlpha = false;
    float Alpha = 1.0f;
    bool UsePosition = false;
    float Position[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    bool UseSpotDirection = false;
    float SpotDirection[3] = {0.0f, 0.0f, -1.0f};
    bool UseSpot = false;
    float SpotExponent = 0.0f;
    float SpotCutoff = 180.0f;
    bool UseAttenuation = false;
    float ConstantAttenuation = 1.0f;
    float LinearAttenuation = 0.0f;
    float QuadraticAttenuation = 0.0f;
    bool UpdateEachDraw = false;

private:
    void CopySettings(const KytLight& other);

    friend class KytTraceLight;
};

// A spot light riding on a trace camera, like a head lamp.
class KytTraceLight : public KytLight {
public:
    KytTraceLight(KytTraceCamera* camera, const char* name);
    KytTraceLight(const KytTraceLight& other);
    KytTraceLight& operator=(const KytTraceLight& other);
    ~KytTraceLight() override;

    void Update(unsigned int lightId) override;
    // Takes the colours and the enable flag of `source`; position, spot and attenuation stay.
    void Copy(KytLight* source);

    KytTraceCamera* GetTraceCamera() const { return TraceCamera; }

protected:
    KytTraceCamera* TraceCamera = nullptr;

private:
    void FollowCamera();
};
