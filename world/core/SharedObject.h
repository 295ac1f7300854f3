#pragma once
#include <cstdint>

#include "platform/win32/Interlocked.h"
#include "world/core/SharedString.h"

namespace quor {

// Base of the cached, shareable data objects that the data managers hand out by name
// (track data, mesh data, skeletal data). Counts are shared with loader threads.
class SharedObject {
public:
    SharedObject() = default;
    virtual ~SharedObject() = default;
    SharedObject(const SharedObject&) = delete;
    SharedObject& operator=(const SharedObject&) = delete;

    // Reads the file header; 0 means failure. size is the bytes data holds.
    virtual std::uintptr_t ParseHeader(const std::uint8_t* data, std::uint32_t size) = 0;
    // Reads the rest; above 0 means success.
    virtual int ParseBody(std::uintptr_t header) = 0;

    // ParseHeader, then ParseBody when the header was accepted.
    bool LoadFromMemory(const std::uint8_t* data, std::uint32_t size);

    const common::SharedString& Name() const { return m_name; }
    void SetName(const common::SharedString& name) { m_name = name; }

    std::int32_t RefCount() const { return m_refCount.load(); }
    // Return the new count.
    std::int32_t AddRef() { return win32::InterlockedIncrement(&m_refCount); }
    std::int32_t ReleaseRef() { return win32::InterlockedDecrement(&m_refCount); }

    std::int32_t MemSize() const { return m_memSize; }
    void SetMemSize(std::int32_t bytes) { m_memSize = bytes; }
    std::int32_t Version() const { return m_version; }
    void SetVersion(std::int32_t version) { m_version = version; }

private:
    common::SharedString m_name;
    win32::InterlockedLong m_refCount{0};
    std::int32_t m_memSize = 0;
    std::int32_t m_version = 0;
};

}  // namespace quor
