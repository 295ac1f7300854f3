#pragma once
// Shared balloons: an annotation whose record has the overlap id of another record lands its
// balloon on that one's. The other is the first record met walking the whole tree from its
// top link, on a link other than the annotation's own, with a different key and the same
// overlap id. The index answers that question from one walk per frame instead of one walk per
// annotation.

#include <unordered_map>
#include <vector>

class KytLink;
struct KytAnnotateData;

struct AnnotateOverlapMatch {
    KytLink* link = nullptr;
    KytAnnotateData* data = nullptr;
};

// The walk itself, from `top` in KytLink::SearchNext order.
AnnotateOverlapMatch FindOverlapByWalk(KytLink* top, const KytLink* own,
                                       const KytAnnotateData* data);

class AnnotateOverlapIndex {
public:
    // Every record of the tree under `top`, by overlap id, in walk order.
    void Build(KytLink* top);
    // The same answer as FindOverlapByWalk over the tree the index was built from.
    AnnotateOverlapMatch Find(const KytLink* own, const KytAnnotateData* data) const;
    KytLink* Top() const { return top_; }

private:
    KytLink* top_ = nullptr;
    std::unordered_map<unsigned, std::vector<AnnotateOverlapMatch>> byOverlap_;
};
