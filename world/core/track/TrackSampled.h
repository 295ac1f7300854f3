#pragma once
#include <cstdint>

#include "world/core/track/TrackBase.h"

namespace quor {
class TrackData;
}

namespace quor::world {

// Kind 256: key-frame motion of one channel of a shared TrackData. A file of several channels
// becomes a chain: the first track plays channel 0 and owns the data reference, and each
// further channel is a sibling next that follows its clock.
class TrackSampled : public TrackBase {
public:
    ~TrackSampled() override;

    bool LoadFile(const char* fileName) override;
    bool LoadXml(common::IXmlNode* node) override;
    // A TrackSampledTemplate: one channel of keys copied into a new empty data entry.
    bool InitFrom(const void* record) override;
    void Evaluate() override;

    // Plays `channel` of data it does not own, chaining siblings for the remaining channels.
    // False for no data, data without channels, or a channel at or beyond the count.
    bool AttachData(TrackData* data, std::uint16_t channel);
    // The index of the key at or before the time (searched from the last one found).
    std::uint16_t FindKey(float time);
    bool TestFlag800() const;

    TrackData* Data() const { return m_data; }
    std::uint16_t Channel() const { return m_channel; }
    bool OwnsData() const { return m_ownsData != 0; }

private:
    // Lets go of the data (released when owned) and of the sibling chain.
    void DropData();
    // Binds this track to the channel and chains siblings for the channels after it.
    bool Bind(TrackData* data, std::uint16_t channel, bool chainRest);
    // Loop, go-and-return, channel flags, face flags and length from the data.
    void ApplyDataSettings();

    TrackData* m_data = nullptr;
    std::uint16_t m_channel = 0;
    std::uint8_t m_ownsData = 0;
    std::uint16_t m_key = 0;
};

}  // namespace quor::world
