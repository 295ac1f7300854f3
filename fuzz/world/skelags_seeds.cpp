// Seeds of skelags_fuzz: companion documents naming the target's clips "walk", "run" and
// "idle" in groups (weights, priorities, sync-to, loop and start times) and a sequence.
#include "fuzz/Seeds.h"
#include "tests/support/world/SkelAnimFileWriter.h"

bool WriteSeeds() {
    quor::test::AgsDesc a;
    a.groupsVersion = "2";
    a.groups = {{"move", {{"walk", {{"Weight", "0.5"}, {"Priority", "1"}}}, {"run", {{"SyncTo", "0"}}}}},
                {"rest", {{"idle", {{"Loop", "false"}, {"StartTime", "20"}}}}}};
    a.sequences = {{"day", {{"walk", {{"TransitType", "4"}, {"TransitTimeLength", "100"}}},
                            {"move", {{"IsGroup", "true"}, {"Duration", "2"}}}}}};
    quor::seeds::Seed("groups.ags", quor::test::WriteAgs(a));
    quor::test::AgsDesc groupsOnly;
    groupsOnly.groups = {{"all", {{"walk", {}}, {"run", {{"Weight", "-0.5"}}}, {"idle", {{"SyncTo", "1"}}}}}};
    groupsOnly.hasSequences = false;
    quor::seeds::Seed("groups_only.ags", quor::test::WriteAgs(groupsOnly));
    return true;
}
