#pragma once
#include <cstdint>

namespace quor::world {

class ICamera;
class IVisibleObject;

// The host's face of a level-of-detail group, in slot order.
class ILodGroup {
public:
    virtual void SetName(const char* name) = 0;                                              // 0
    virtual const char* GetName() = 0;                                                       // 1
    virtual void SetEnabled(bool enabled) = 0;                                               // 2
    virtual bool IsEnabled() = 0;                                                            // 3
    virtual void AddObject(IVisibleObject* object) = 0;                                      // 4
    virtual void RemoveObject(IVisibleObject* object) = 0;                                   // 5
    virtual void RemoveAll() = 0;                                                            // 6
    virtual void SetLevel(int level, float distance, std::int32_t param1, std::int32_t param2) = 0;  // 7
    virtual float GetLevel(int level, std::int32_t* param1, std::int32_t* param2) = 0;      // 8
    virtual ~ILodGroup() = default;                                                          // 9
    virtual void Update(ICamera* camera) = 0;                                                // 10
};

}  // namespace quor::world
