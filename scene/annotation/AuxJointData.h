#pragma once
// What an AuxJoint keeps for one pushed link.

class KytLink;

struct AuxJointData {
    explicit AuxJointData(KytLink* link);
    AuxJointData(const AuxJointData&) = default;
    AuxJointData& operator=(const AuxJointData&) = default;

    bool Active = false;
    double Q = 0.0;  // the link's joint value when the record was made
    KytLink* Link = nullptr;  // not owned
    bool Shown = true;
    double Delta = 1.0;
};
