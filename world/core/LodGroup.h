#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "world/core/ILodGroup.h"

namespace quor {
class BinaryReader;
}

namespace quor::world {

class ObjectOwner;
class SpaceObject;
class VisibleObject;

// Chooses a level of detail for its members from their distance to the camera: up to fifteen
// growing distance thresholds, each level with two parameters handed on to the member's
// SetLod. Members are not owned; an object that dies or leaves the group's scene leaves the
// group by itself (see ObjectLeaving).
class LodGroup : public ILodGroup {
public:
    static constexpr int kLevels = 16;
    static constexpr std::size_t kNameSize = 32;
    // The first file version whose records carry the two parameter tables.
    static constexpr std::uint32_t kParamsVersion = 0x10021;

    explicit LodGroup(ObjectOwner* owner = nullptr);
    ~LodGroup() override;
    LodGroup(const LodGroup&) = delete;
    LodGroup& operator=(const LodGroup&) = delete;

    // --- ILodGroup ---
    // Longer names are cut to 31 characters so the field stays terminated.
    void SetName(const char* name) override;
    const char* GetName() override { return m_name; }
    void SetEnabled(bool enabled) override { m_enabled = enabled ? 1 : 0; }
    bool IsEnabled() override { return m_enabled != 0; }
    void AddObject(IVisibleObject* object) override;
    void RemoveObject(IVisibleObject* object) override;
    void RemoveAll() override;
    void SetLevel(int level, float distance, std::int32_t param1, std::int32_t param2) override;
    float GetLevel(int level, std::int32_t* param1, std::int32_t* param2) override;
    void Update(ICamera* camera) override;

    // The group's record of a binary scene file; members named by identifiers the map does
    // not hold are skipped. False (with a log line, the group unchanged) when the record does
    // not fit in what is left.
    bool Read(BinaryReader& in, std::uint32_t version, const std::unordered_map<std::uint32_t, SpaceObject*>& objects);

    // A scene file's list of levels: entry i is stored at level i, except that the last one
    // is stored at level 15 (the hiding level); entries past 15 other than the last are
    // ignored with a warning. Level 0 takes nothing (it is never set).
    struct ListedLevel {
        float distance = 0.0f;
        std::int32_t meshLod = 0;
        std::int32_t materialLod = 0;
    };
    void StoreListedLevels(const std::vector<ListedLevel>& levels);

    ObjectOwner* GetOwner() const { return m_owner; }
    const std::vector<VisibleObject*>& Members() const { return m_members; }

    // An object that dies (scene null) or moves to another scene leaves every group it is in
    // that does not belong to that scene.
    static void ObjectLeaving(VisibleObject* object, ObjectOwner* scene);

private:
    void Forget(VisibleObject* object);

    char m_name[kNameSize] = {};
    std::uint8_t m_enabled = 1;
    std::vector<VisibleObject*> m_members;
    ObjectOwner* m_owner;
    float m_distance[kLevels] = {};
    std::int32_t m_param1[kLevels] = {};
    std::int32_t m_param2[kLevels] = {};
};

// Frees the registry of group memberships; only when the module is unloaded.
void ReleaseLodRegistry();

}  // namespace quor::world
