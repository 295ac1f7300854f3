#include "platform/host/RecordingHostParts.h"

#include <cstring>

#include "platform/host/IResFileSystem.h"

namespace quor::host {

class RecordingAudio::Sound final : public client::ISound {
public:
    explicit Sound(std::atomic<int>& live) : m_live(live) { ++m_live; }
    void Release() override {
        --m_live;
        delete this;
    }

private:
    ~Sound() = default;
    std::atomic<int>& m_live;
};

client::ISound* RecordingAudio::LoadSound(const char* path, int, int) {
    ++m_loads;
    if (!path || !m_files) return nullptr;
    common::IResFile* file = m_files->OpenFile(path, 0);
    if (!file) return nullptr;
    // A sound is a RIFF file; anything else is refused as a real audio system would.
    const bool riff = file->GetSize() >= 12 && std::memcmp(file->GetData(), "RIFF", 4) == 0;
    file->Close();
    return riff ? new Sound(m_live) : nullptr;
}

}  // namespace quor::host
