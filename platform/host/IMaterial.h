#pragma once
#include <cstdint>

namespace quor::render {

class IEffect;
class IRenderState;
class ITexture;

// The named parameters of a material's technique. Every setter answers false when the
// technique has no such parameter or refuses the value.
class IMaterialParams {
public:
    virtual bool SetInt(const char* name, std::int32_t value) = 0;
    virtual bool SetFloat(const char* name, float value) = 0;
    // count components (1 to 4).
    virtual bool SetVector(const char* name, const float* values, std::uint32_t count) = 0;
    // One 4 x 4 matrix, row after row.
    virtual bool SetMatrix(const char* name, const float* matrix) = 0;
    // count 4 x 4 matrices one after the other.
    virtual bool SetMatrixArray(const char* name, const float* matrices, std::uint32_t count) = 0;
    virtual bool SetFloatArray(const char* name, const float* values, std::uint32_t count) = 0;

protected:
    ~IMaterialParams() = default;
};

// How a texture stage's coordinates move: scroll rates per second for u, v and the rotation,
// a start offset and rotation about a centre, an option byte and a scale.
struct TextureAnimation {
    float rateU = 0.0f;
    float rateV = 0.0f;
    float rateRotation = 0.0f;
    float offsetU = 0.0f;
    float offsetV = 0.0f;
    float rotation = 0.0f;
    float centreU = 0.5f;
    float centreV = 0.5f;
    std::uint8_t option = 0;
    float scaleU = 1.0f;
    float scaleV = 1.0f;
};

// A material of the host's renderer: a technique with its textures by stage, its parameter
// block and a few fixed-function states. Reference counted: AddRef takes a reference,
// IRenderer::ReleaseMaterial gives one back.
class IMaterial {
public:
    virtual void AddRef() = 0;
    // The material's own name ("" when it has none).
    virtual const char* GetName() = 0;
    virtual IEffect* GetTechnique() = 0;
    // false when the technique is null or the material cannot use it.
    virtual bool SetTechnique(IEffect* technique) = 0;
    // The texture of the stage named name (null clears it); false when no stage has the name.
    virtual bool SetTexture(const char* name, ITexture* texture) = 0;
    // The texture of the stage named name (no reference taken); null when none.
    virtual ITexture* GetTexture(const char* name) = 0;
    // The name of texture stage 0..7; null when the material does not use the stage.
    virtual const char* GetTextureName(std::uint32_t stage) = 0;
    // The state object a used stage draws with (null unbinds it).
    virtual void SetStageState(std::uint32_t stage, IRenderState* state) = 0;
    virtual void SetTextureAnimation(std::uint32_t stage, const TextureAnimation& animation) = 0;
    // Null when the technique has no parameters.
    virtual IMaterialParams* GetParameters() = 0;
    virtual void SetTransparent(bool transparent) = 0;
    virtual bool IsTransparent() = 0;
    // Textures, stage states, colours, alpha test and flags of another material.
    virtual void CopyStateFrom(IMaterial* other) = 0;
    // The fixed-function material record of old mesh data, copied.
    virtual void SetRecord(const void* record, std::uint32_t size) = 0;
    // Numbered switches of the material; what each means is the renderer's.
    virtual void SetFlag(std::uint32_t index, std::uint32_t value) = 0;
    virtual std::uint32_t GetFlag(std::uint32_t index) = 0;
    virtual void SetAlphaTest(std::uint8_t enabled) = 0;
    virtual void SetAlphaTestValues(std::uint8_t first, std::uint8_t second) = 0;
    // Four f32 (r, g, b, a) each, and the specular power.
    virtual void SetColours(const float* diffuse, const float* ambient, const float* specular,
                            const float* emissive, float power) = 0;
    // Writes the parameters and their values to the debugger output.
    virtual void PrintAllItems() = 0;
    // The model lighting a 2D scene gives its models: specular on or off, the specular colour
    // (0xAARRGGBB) and two further colour words (the scene clears the first and whitens the
    // second when a model has loaded).
    virtual void SetSpecularEnabled(bool on) = 0;
    virtual void SetSpecularColour(std::uint32_t argb) = 0;
    virtual void SetColourWordA(std::uint32_t argb) = 0;
    virtual void SetColourWordB(std::uint32_t argb) = 0;

protected:
    ~IMaterial() = default;
};

class IMaterialGroup;

// Told when the renderer has finished loading a group's materials (groups may load in the
// background); changes the caller makes itself are not reported back.
class IMaterialGroupCallback {
public:
    virtual void OnMaterialGroup(IMaterialGroup* group) = 0;

protected:
    ~IMaterialGroupCallback() = default;
};

// The materials of one mesh by slot: each slot has a name, a material and four values that
// the mesh's records copy. Given back with IRenderer::ReleaseMaterial.
class IMaterialGroup {
public:
    virtual std::uint32_t GetSlotCount() = 0;
    // Null for a slot out of range.
    virtual const char* GetSlotName(std::uint32_t slot) = 0;
    // The slot's material, the group keeping its reference; null for an empty slot or one
    // out of range.
    virtual IMaterial* GetSlotMaterial(std::uint32_t slot) = 0;
    // The first slot holding the material, or the named one; -1 when none does.
    virtual int FindSlot(IMaterial* material) = 0;
    virtual int FindSlotByName(const char* name) = 0;
    // The material of a record whose slot gives none; may be null.
    virtual IMaterial* GetDefaultMaterial() = 0;
    // The slot's four values; false (values untouched) for a slot out of range.
    virtual bool GetSlotValues(std::uint32_t slot, std::uint32_t* values) = 0;
    virtual void SetLoadFlag(std::int32_t flag) = 0;
    virtual std::int32_t GetLoadFlag() = 0;
    // Puts the group's materials back into their default state.
    virtual void ApplyDefaultState() = 0;
    // The group takes its own reference: into the slot of the material's name, or a new slot
    // named after it when none has that name. false for null.
    virtual bool AddMaterial(IMaterial* material) = 0;
    // The slot takes the material (its own reference), the old one's reference given back.
    virtual bool SetSlotMaterial(std::uint32_t slot, IMaterial* material) = 0;
    // New slots are empty and unnamed; dropped slots give their materials back.
    virtual void SetSlotCount(std::uint32_t count) = 0;
    virtual bool SetSlotName(std::uint32_t slot, const char* name) = 0;
    virtual void RegisterCallback(IMaterialGroupCallback* callback) = 0;
    virtual void UnregisterCallback(IMaterialGroupCallback* callback) = 0;

protected:
    ~IMaterialGroup() = default;
};

}  // namespace quor::render
