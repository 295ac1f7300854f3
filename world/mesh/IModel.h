#pragma once
// Host-facing: a host includes this header (see world/HostHeaders.cmake).
#include <cstdint>
#include <string>
#include <vector>

#include "world/core/HostLight.h"
#include "world/core/HostSpaceObject.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"
#include "world/core/track/HostTrackSampled.h"

namespace quor {
class MeshSocket;
class TrackData;
struct SubMeshInfo;

// How a mesh wants its sub-meshes drawn (the model's transparency, alpha-test and blend-mode
// settings): enabled, a double flag, two values, a pass value and a byte.
struct RenderModeDesc {
    std::uint8_t enabled = 1;
    std::uint8_t doubleFlag = 1;
    std::int32_t value0 = 0;
    std::int32_t value1 = -1;
    std::int32_t passValue = -1;
    std::uint8_t extra = 0;
};
}  // namespace quor

namespace quor::common {
// A counted string of the module; GetMeshFileName hands one out.
class SharedString;
}  // namespace quor::common

namespace quor::render {
class IMaterial;
class IMaterialGroup;
}  // namespace quor::render

namespace quor::world {

class IScene;
class ISpaceObject;
class IVisibleObject;

// The host's face of a model. The slot order is part of the contract with the host.
class IModel {
public:
    virtual void SetSocketLabel(const char* socketName, const char* labelName, int pixelOffset,
                                IScene* scene) = 0;                                             // 0
    virtual void RemoveSocketLabel(const char* socketName) = 0;                                 // 1
    virtual std::uint8_t GetStateByte() = 0;                                                    // 2
    virtual bool AddMeshFile(const char* file, int async, std::uint32_t* requestId) = 0;        // 3
    virtual bool LoadAnimationFile(const char* file, int async, std::uint32_t* requestId) = 0;  // 4
    virtual SpaceObject* GetSpaceObject(int flag) = 0;                                          // 5
    virtual IVisibleObject* GetVisibleObject() = 0;                                             // 6
    virtual bool BindChildToSocket(ISpaceObject* object, int socket, std::uint32_t mask, bool wholeMatrix,
                                   std::uint16_t extra) = 0;                                    // 7
    virtual bool UnbindSocketChildren(int socket, bool keepWorld, int objectType) = 0;          // 8
    virtual bool UnbindChildFromSocket(ISpaceObject* object, bool keepWorld) = 0;               // 9
    virtual int GetAttachedCount() = 0;                                                         // 10
    virtual ISpaceObject* GetAttachedObject(int index) = 0;                                     // 11
    virtual bool GetBoundingBox(Vec3& min, Vec3& max, const Vec3* corners8) = 0;                // 12
    virtual void GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) = 0;      // 13
    virtual void GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents,
                                   int space) = 0;                                              // 14
    virtual bool ContainsPoint(const Vec3& point, int flags) = 0;                               // 15
    virtual bool IntersectRay(const Ray& ray, std::uint32_t* subMesh, float* t, int flags) = 0; // 16
    virtual void SetVertexColorEnabled(bool enabled) = 0;                                       // 17
    virtual void SetSubMeshRenderFlags(std::uint8_t first, std::uint8_t second) = 0;            // 18
    virtual bool CreatePlaneShadow(const float* plane, Light* light, int kind) = 0;             // 19
    virtual bool CreateShadow(int placement, const float* extents) = 0;                         // 20
    virtual void SetShadowTarget(ISpaceObject* object) = 0;                                     // 21
    virtual void SetShadowPlaneOffset(float d) = 0;                                             // 22
    virtual float GetShadowPlaneOffset() = 0;                                                   // 23
    virtual void ReleaseShadow() = 0;                                                           // 24
    virtual void SetShadowVisible(bool visible) = 0;                                            // 25
    virtual bool SetShadowLightAlpha(int light, std::uint8_t alpha) = 0;                        // 26
    virtual int GetShadowMode() = 0;                                                            // 27
    virtual void SetShadowMode(int mode) = 0;                                                   // 28
    virtual bool SetRenderEffectEnabled(const char* effect, bool enable) = 0;                   // 29
    virtual int GetSubMeshCount() = 0;                                                          // 30
    virtual const SubMeshInfo* GetSubMeshInfo(int i) = 0;                                      // 31
    virtual int FindSubMesh(const char* name) = 0;                                              // 32
    virtual bool IsSubMeshVisible(int i) = 0;                                                   // 33
    virtual bool SetSubMeshVisible(int i, bool visible) = 0;                                    // 34
    virtual bool SetSubMeshColor(int i, std::uint32_t colour) = 0;                              // 35
    virtual bool HasAnimation(int kind) = 0;                                                    // 36
    virtual std::uint16_t FindAnimation(const char* name, bool flag) = 0;                       // 37
    virtual int GetAnimationCount(int kind) = 0;                                                // 38
    virtual const char* GetAnimationName(int index) = 0;                                        // 39
    virtual int GetCurrentAnimation(int kind) = 0;                                              // 40
    virtual bool PlayAnimation(int index, int kind, float startTime) = 0;                       // 41
    virtual bool PlaySkeletalAnimation(int index, float transit, int type, float start, int loopFlags,
                                       float speed) = 0;                                        // 42
    // The upper body plays its own animation while the rest plays the current one.
    virtual bool PlaySplitAnimation(bool enable, int index, float start, int loopFlags, float speed) = 0;  // 43
    virtual void SetSplitBoneMatrix(int bone, const Matrix* matrix) = 0;                        // 44
    virtual bool PlayAnimationGroup(const char* name, float transit) = 0;                       // 45
    virtual bool PlayAnimationByName(const char* name, float transit, int loopFlags) = 0;       // 46
    virtual bool PlayAnimationSequence(const char* name) = 0;                                   // 47
    virtual void StopAnimation(int kind) = 0;                                                   // 48
    virtual bool IsAnimationPlaying(int kind) = 0;                                              // 49
    virtual bool SetAnimationTime(float time, int kind) = 0;                                    // 50
    virtual float GetAnimationTime(int kind) = 0;                                               // 51
    virtual void SetAnimationSpeed(float speed, int kind) = 0;                                  // 52
    virtual float GetAnimationSpeed(int kind) = 0;                                              // 53
    virtual void SetAnimationReverse(bool reverse, int kind) = 0;                               // 54
    virtual bool IsAnimationReverse(int kind) = 0;                                              // 55
    virtual void SetAnimationLoop(bool loop, int kind) = 0;                                     // 56
    virtual bool IsAnimationLoop(int kind) = 0;                                                 // 57
    virtual float GetAnimationLength(int kind) = 0;                                             // 58
    virtual bool IsAnimationFinished(int kind) = 0;                                             // 59
    // The oldest queued key event; null when none. Valid until the next call.
    virtual const char* PopAnimationEvent() = 0;                                                // 60
    virtual void Reserved61() = 0;                                                              // 61
    virtual const char* GetAnimationEvent(int index) = 0;                                       // 62
    virtual int GetAnimationEventCount() = 0;                                                   // 63
    // The key data of animation i's object track (65535: the current animation); null without.
    virtual TrackData* GetAnimationExtra(int index) = 0;                                        // 64
    virtual int GetBoneCount() = 0;                                                             // 65
    virtual int GetBonePaletteSize() = 0;                                                       // 66
    virtual std::uint16_t GetBonePaletteEntry(int index) = 0;                                   // 67
    virtual std::uint16_t FindBone(const char* name) = 0;                                       // 68
    virtual std::uint16_t GetBoneParent(int bone) = 0;                                          // 69
    virtual const char* GetBoneName(int bone) = 0;                                              // 70
    virtual void GetBoneTransform(int bone, Matrix& out) = 0;                                   // 71
    virtual void GetBoneWorldMatrix(int bone, Matrix& out) = 0;                                 // 72
    virtual void SampleBone(int bone, float time, Matrix& out) = 0;                             // 73
    virtual void SampleBoneWorld(int bone, float time, Matrix& out) = 0;                        // 74
    virtual int GetSocketCount() = 0;                                                           // 75
    virtual int FindSocket(const char* name) = 0;                                               // 76
    // Null for a socket that does not exist.
    virtual const std::vector<std::string>* GetSocketObjectList(int socket) = 0;                // 77
    virtual ISpaceObject* GetSocketObject(int socket, int position) = 0;                        // 78
    virtual bool GetSocketWorldMatrix(int socket, Matrix& out) = 0;                             // 79
    virtual TrackSampled* GetSocket(int socket, std::uint32_t* syncToMorph) = 0;                // 80
    virtual void SetTransparent(bool transparent) = 0;                                          // 81
    virtual bool IsTransparent() = 0;                                                           // 82
    // 1 while loading (and before anything loaded), 0 loaded, -1 failed.
    virtual int IsLoading() = 0;                                                                // 83
    virtual bool SetSubMeshMaterial(int i, render::IMaterial* material) = 0;                    // 84
    virtual render::IMaterial* GetSubMeshMaterial(int i) = 0;                                   // 85
    virtual void ReplaceMaterial(render::IMaterial* from, render::IMaterial* to) = 0;           // 86
    virtual int GetSubMeshMaterialSlot(int i) = 0;                                              // 87
    virtual bool SetSubMeshMaterialSlot(int i, int slot) = 0;                                   // 88
    virtual render::IMaterialGroup* GetMeshMaterialInfo() = 0;                                  // 89
    virtual void SetMaterialSet(render::IMaterialGroup* set) = 0;                               // 90
    virtual render::IMaterialGroup* GetMaterialSet() = 0;                                       // 91
    virtual bool LoadMaterialFile(const char* file, int async, std::uint32_t* requestId) = 0;   // 92
    virtual void SetAlphaTest(bool enable, int reference) = 0;                                  // 93
    virtual void SetAlphaBlendMode(int mode) = 0;                                               // 94
    virtual void SetSubMeshRenderMode(const RenderModeDesc& mode) = 0;                          // 95
    virtual bool IsAnimationEndPending() = 0;                                                   // 96
    virtual void AcknowledgeSkeletalState() = 0;                                                // 97
    virtual void SetSorterType(std::uint32_t type) = 0;                                         // 98
    virtual std::uint32_t GetSorterType() = 0;                                                  // 99
    virtual bool IsSequenceFinished() = 0;                                                      // 100
    virtual common::SharedString GetMeshFileName() = 0;                                         // 101
    virtual const MeshSocket* GetSocketData(int socket) = 0;                                    // 102
    virtual void SetMeshRenderFlag(std::uint8_t flag) = 0;                                      // 103
    virtual int GetTriangleCount() = 0;                                                         // 104
    virtual void Reserved105() = 0;                                                             // 105
    virtual std::uint32_t GetId() = 0;                                                          // 106
    virtual void UpdateSkeletalBounds() = 0;                                                    // 107
    virtual void FreezeAtTime(float time) = 0;                                                  // 108

protected:
    ~IModel() = default;
};

}  // namespace quor::world
