#include "scene/view/KytLight.h"

#include <GL/gl.h>

#include <algorithm>

namespace {
const float kNoColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
}

KytLight::KytLight() : KytLight("Default") {}

KytLight::KytLight(const char* name) : Name(name) {}

KytLight::KytLight(const KytLight& other) : Name(other.Name) { CopySettings(other); }

KytLight& KytLight::operator=(const KytLight& other) {
    if (this != &other) {
        Name = other.Name;
        CopySettings(other);
    }
    return *this;
}

KytLight::~KytLight() { delete Next; }

void KytLight::CopySettings(const KytLight& o) {
    Enabled = o.Enabled;
    UseAmbient = o.UseAmbient;
    std::copy(o.Ambient, o.Ambient + 4, Ambient);
    UseDiffuse = o.UseDiffuse;
    std::copy(o.Diffuse, o.Diffuse + 4, Diffuse);
    UseSpecular = o.UseSpecular;
    std::copy(o.Specular, o.Specular + 4, Specular);
    UseAlpha = o.UseAlpha;
    Alpha = o.Alpha;
    UsePosition = o.UsePosition;
    std::copy(o.Position, o.Position + 4, Position);
    UseSpotDirection = o.UseSpotDirection;
    std::copy(o.SpotDirection, o.SpotDirection + 3, SpotDirection);
    UseSpot = o.UseSpot;
    SpotExponent = o.SpotExponent;
    SpotCutoff = o.SpotCutoff;
    UseAttenuation = o.UseAttenuation;
    ConstantAttenuation = o.ConstantAttenuation;
    LinearAttenuation = o.LinearAttenuation;
    QuadraticAttenuation = o.QuadraticAttenuation;
    UpdateEachDraw = o.UpdateEachDraw;
}

void KytLight::Create(unsigned int lightId) {
    const float alpha = UseAlpha ? Alpha : 1.0f;
    Ambient[3] = Diffuse[3] = Specular[3] = alpha;
    glLightfv(lightId, GL_AMBIENT, UseAmbient ? Ambient : kNoColour);
    glLightfv(lightId, GL_DIFFUSE, UseDiffuse ? Diffuse : kNoColour);
    glLightfv(lightId, GL_SPECULAR, UseSpecular ? Specular : kNoColour);
    if (UsePosition) glLightfv(lightId, GL_POSITION, Position);
    if (UseSpot) {
        glLightf(lightId, GL_SPOT_EXPONENT, SpotExponent);
        glLightf(lightId, GL_SPOT_CUTOFF, SpotCutoff);
        // A direction means nothing without a cone.
        if (UseSpotDirection) glLightfv(lightId, GL_SPOT_DIRECTION, SpotDirection);
    }
    if (UseAttenuation) {
        glLightf(lightId, GL_CONSTANT_ATTENUATION, ConstantAttenuation);
        glLightf(lightId, GL_LINEAR_ATTENUATION, LinearAttenuation);
        glLightf(lightId, GL_QUADRATIC_ATTENUATION, QuadraticAttenuation);
    }
    if (Enabled) glEnable(lightId);
}

void KytLight::ChangeSpotLight(unsigned int lightId) {
    glLightf(lightId, GL_SPOT_EXPONENT, UseSpot ? SpotExponent : 0.0f);
    glLightf(lightId, GL_SPOT_CUTOFF, UseSpot ? SpotCutoff : 180.0f);
}

void KytLight::Update(unsigned int lightId) {
    glLightfv(lightId, GL_POSITION, Position);
    glLightfv(lightId, GL_SPOT_DIRECTION, SpotDirection);
}

void KytLight::SetAmbient(float r, float g, float b) {
    Ambient[0] = r;
    Ambient[1] = g;
    Ambient[2] = b;
    UseAmbient = true;
}

void KytLight::SetDiffuse(float r, float g, float b) {
    Diffuse[0] = r;
    Diffuse[1] = g;
    Diffuse[2] = b;
    UseDiffuse = true;
}

void KytLight::SetSpecular(float r, float g, float b) {
    Specular[0] = r;
    Specular[1] = g;
    Specular[2] = b;
    UseSpecular = true;
}

void KytLight::SetPosition(const float position[3]) {
    std::copy(position, position + 3, Position);
    UsePosition = true;
}

void KytLight::SetSpotLigt(float exponent, float cutoff) {
    SpotExponent = exponent;
    SpotCutoff = cutoff;
    UseSpot = true;
}

void KytLight::SetSpotDirection(const float direction[3]) {
    std::copy(direction, direction + 3, SpotDirection);
    UseSpotDirection = true;
}

void KytLight::SetAttenuation(float constant, float linear, float quadratic) {
    ConstantAttenuation = constant;
    LinearAttenuation = linear;
    QuadraticAttenuation = quadratic;
    UseAttenuation = true;
}

void KytLight::SetAlpha(float alpha) {
    UseAlpha = false;
    Alpha = alpha >= 1.0f ? 1.0f : alpha;
    Ambient[3] = Diffuse[3] = Specular[3] = Alpha;
}

// ---- KytTraceLight ---------------------------------------------------------------------------

KytTraceLight::KytTraceLight(KytTraceCamera* camera, const char* name)
    : KytLight(name), TraceCamera(camera) {
    if (!camera) return;
    UseSpot = false;
    UseSpotDirection = true;
    UsePosition = true;
    FollowCamera();
    UpdateEachDraw = true;
    SpotExponent = 0.5f;
    SpotCutoff = 42.0f;
}

KytTraceLight::KytTraceLight(const KytTraceLight& other) = default;
KytTraceLight& KytTraceLight::operator=(const KytTraceLight& other) = default;

KytTraceLight::~KytTraceLight() = default;

void KytTraceLight::FollowCamera() {
    const WqVector3D& eye = TraceCamera->GetEyePosition();
    const WqVector3D& o = TraceCamera->GetEyeOrientation();
    Position[0] = static_cast<float>(eye.x);
    Position[1] = static_cast<float>(eye.y);
    Position[2] = static_cast<float>(eye.z);
    Position[3] = 1.0f;
    SpotDirection[0] = static_cast<float>(-o.x);
    SpotDirection[1] = static_cast<float>(-o.y);
    SpotDirection[2] = static_cast<float>(-o.z);
}

void KytTraceLight::Update(unsigned int lightId) {
    if (TraceCamera) FollowCamera();
    KytLight::Update(lightId);
}

void KytTraceLight::Copy(KytLight* source) {
    if (!source) return;
    Enabled = source->Enabled;
    UseAmbient = source->UseAmbient;
    std::copy(source->Ambient, source->Ambient + 4, Ambient);
    UseDiffuse = source->UseDiffuse;
    std::copy(source->Diffuse, source->Diffuse + 4, Diffuse);
    UseSpecular = source->UseSpecular;
    std::copy(source->Specular, source->Specular + 4, Specular);
    UseAlpha = source->UseAlpha;
    Alpha = source->Alpha;
}
