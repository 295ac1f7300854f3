#pragma once
#include "platform/win32/CriticalSection.h"

namespace quor::world {

class ObjectOwner;

// An owner's object lock: guards the owner's object tree and its per-kind lists. The scene's
// update and render hold it for a whole frame, loader threads take it to attach objects, and
// the object operations take it again from inside the frame, hence a recursive section.
class ObjectLock {
public:
    ObjectLock() = default;
    ObjectLock(const ObjectLock&) = delete;
    ObjectLock& operator=(const ObjectLock&) = delete;

    void Enter() { m_section.Enter(); }
    void Leave() { m_section.Leave(); }
    bool TryEnter() { return m_section.TryEnter(); }
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    win32::CriticalSection m_section;
};

// Holds the object lock of an owner for a scope; an object outside any owner locks nothing.
class ObjectLockGuard {
public:
    explicit ObjectLockGuard(ObjectOwner* owner);
    ~ObjectLockGuard();
    ObjectLockGuard(const ObjectLockGuard&) = delete;
    ObjectLockGuard& operator=(const ObjectLockGuard&) = delete;

private:
    ObjectLock* m_lock;
};

}  // namespace quor::world
