#include "tests/support/world/BinarySceneWriter.h"

#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

namespace {

void Text(ByteWriter& w, const std::string& s) {
    w.U32(std::uint32_t(s.size()));
    w.Raw(s.data(), s.size());
}

void Keys(ByteWriter& w, const std::vector<BinaryColorKey>& keys) {
    w.U32(std::uint32_t(keys.size()));
    for (const BinaryColorKey& k : keys) {
        w.F32(k.time);
        w.F32s(k.rgba.data(), 4);
    }
}

void Light(ByteWriter& w, const BinarySceneLight& l, std::uint32_t v) {
    if (v < 0x10025) {
        w.Fixed(l.name, 16);
        w.U32(l.type), w.U32(l.enabled), w.U32(l.flags);
        w.U32(l.diffuse), w.U32(l.ambient), w.U32(l.specular);
        w.F32s(l.position.data(), 3);
        w.F32s(l.direction.data(), 3);
        w.F32(l.range);
        w.F32s(l.attenuation.data(), 3);
        w.F32(l.innerDegrees), w.F32(l.outerDegrees);
        return;
    }
    w.U32(0);
    w.Fixed(l.name, 16);
    w.U32(l.type), w.U32(l.enabled), w.U32(l.flags);
    w.F32s(l.position.data(), 3);
    w.F32s(l.direction.data(), 3);
    w.F32(l.range);
    w.F32s(l.attenuation.data(), 3);
    w.F32(l.innerDegrees), w.F32(l.outerDegrees);
    w.U32(0);
    Keys(w, l.diffuseKeys);
    Keys(w, l.ambientKeys);
    Keys(w, l.specularKeys);
}

void Sound(ByteWriter& w, const BinarySceneDesc& d, std::uint32_t v) {
    if (v < 0x10013) return;
    w.F32(1.0f), w.F32(1.0f), w.F32(1.0f);
    if (v == 0x10014 || v == 0x10015) Text(w, d.soundProjects.empty() ? "" : d.soundProjects[0]);
    if (v >= 0x10016) {
        w.U32(std::uint32_t(d.soundProjects.size()));
        for (const std::string& p : d.soundProjects) Text(w, p);
        Text(w, "");  // no default music
    }
    w.U32(std::uint32_t(d.speakers.size()));
    for (const std::string& s : d.speakers) {
        Text(w, s);
        if (v >= 0x10017) Text(w, "");
        w.U32(3);
        if (v >= 0x10016) {
            w.U32(0);
            for (int i = 0; i < 16; ++i) w.F32(i % 5 == 0 ? 1.0f : 0.0f);
        } else {
            w.F32(0), w.F32(0), w.F32(0);
        }
        w.F32(0), w.F32(0), w.F32(0);
    }
    if (v >= 0x10024) w.U32(0);  // no reverb zones
}

}  // namespace

std::vector<std::uint8_t> WriteBinaryScene(const BinarySceneDesc& d) {
    const std::uint32_t v = d.version;
    ByteWriter w;
    w.Raw("RSCN", 4);
    w.U32(v);
    if (v >= 0x10004) {
        if (v >= 0x10009) w.F32(d.zNear), w.F32(d.zFar);
        if (v > 0x10004) {
            w.U32(d.ambient);
            w.U32(std::uint32_t(d.lights.size()));
            for (const BinarySceneLight& l : d.lights) Light(w, l, v);
        }
        w.U32(d.fogMode), w.U32(d.fogType), w.U32(d.fogColor);
        w.F32(d.fogStart), w.F32(d.fogEnd), w.F32(d.fogDensity);
        if (v >= 0x1000A) Text(w, d.background);
        if (v >= 0x10012) {
            Text(w, d.terrain);
            if (!d.terrain.empty() && v >= 0x10023) w.F32s(d.terrainLods.data(), 10);
        }
    }

    w.U32(std::uint32_t(d.files.size()));
    for (const std::string& f : d.files) Text(w, f);
    w.U32(std::uint32_t(d.objects.size()));
    w.U32(std::uint32_t(d.objects.size() - d.effectCount));
    w.U32(d.effectCount);
    for (std::size_t i = 0; i < d.objects.size(); ++i) {
        const BinarySceneObject& o = d.objects[i];
        if (v >= 0x10002) w.U32(o.id ? o.id : std::uint32_t(i + 1));
        w.U32(o.flag);
        w.U32(o.fileIndex);
        if (v >= 0x10002) w.U32(o.cloneId);
        Text(w, o.name);
        w.F32s(o.position.data(), 3);
        w.F32s(o.scale.data(), 3);
        w.F32s(o.rotation.data(), 16);
        if ((o.flag & 0x2) && v >= 0x10008 && v < 0x10010) {
            w.U32(o.extraBlock ? 64 : 0);
            if (o.extraBlock)
                for (int k = 0; k < 16; ++k) w.U32(0x5A5A5A5Au);
        }
        if (v >= 0x10002) w.U32(o.billboard);
        if (o.flag & 0x200) continue;  // a helper ends here
        if (v >= 0x10001) {
            w.U32(std::uint32_t(o.strings.size()));
            for (const std::string& s : o.strings) {
                w.U16(std::uint16_t(s.size()));
                w.Raw(s.data(), s.size());
            }
        }
    }
    if (v >= 0x10019) {
        w.U32(std::uint32_t(d.groups.size()));
        for (const BinarySceneGroup& g : d.groups) {
            w.Fixed(g.name, 32);
            w.U32(std::uint32_t(g.members.size()));
            for (std::uint32_t id : g.members) w.U32(id);
        }
    }
    if (v >= 0x10018) {
        w.U32(std::uint32_t(d.lodGroups.size()));
        for (const BinarySceneLodGroup& g : d.lodGroups) {
            w.Fixed(g.name, 32);
            w.F32s(g.distances.data(), 16);
            if (v >= 0x10021) {
                for (std::int32_t x : g.meshLevels) w.I32(x);
                for (std::int32_t x : g.materialLevels) w.I32(x);
            }
            w.U32(std::uint32_t(g.members.size()));
            for (std::uint32_t id : g.members) w.U32(id);
        }
    }
    Sound(w, d, v);
    if (v >= 0x10020) {
        w.U32(std::uint32_t(d.trackFiles.size()));
        for (const std::string& f : d.trackFiles) Text(w, f);
        w.U32(std::uint32_t(d.tracks.size()));
        for (const BinarySceneTrack& t : d.tracks) {
            w.U32(t.fileIndex);
            Text(w, t.name);
            w.F32s(t.base.data(), 16);
        }
    }
    if (d.bsp.empty()) w.U32(0);
    else w.Raw(d.bsp.data(), d.bsp.size());
    return w.bytes;
}

}  // namespace quor::test
