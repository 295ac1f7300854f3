#include "world/core/ObjectOwner.h"

namespace quor::world {

ObjectLockGuard::ObjectLockGuard(ObjectOwner* owner)
    : m_lock(owner ? &owner->GetObjectLock() : nullptr) {
    if (m_lock) {
        m_lock->Enter();
    }
}

ObjectLockGuard::~ObjectLockGuard() {
    if (m_lock) {
        m_lock->Leave();
    }
}

}  // namespace quor::world
