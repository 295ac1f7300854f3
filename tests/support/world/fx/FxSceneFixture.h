#pragma once
// Effect nodes loaded from element text inside a 3D test scene with an active camera, over the
// recording renderer.
#include <memory>
#include <string>

#include "platform/host/XmlNode.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/XmlNodePtr.h"
#include "world/fx/FxBase.h"

namespace quor::test {

struct FxNodeDeleter {
    void operator()(world::FxBase* node) const { delete node; }
};

class FxSceneFixture {
public:
    FxSceneFixture() {
        scene = world.NewScene();
        camera = scene->CreateCamera(true);
        camera->SetPosition({0.0f, 0.0f, -100.0f});
        camera->Update();
        Renderer().Store()->DefineTexture("fx/p.dds");
    }

    host::RecordingRenderer& Renderer() { return world.host().renderer; }

    // Makes a root node of kind T from `<Element attributes>children</Element>`; null when the
    // load fails (the node is destroyed).
    template <class T>
    std::unique_ptr<T, FxNodeDeleter> Load(const std::string& element, const std::string& attributes,
                                           const std::string& children = "<ColorFrame/>") {
        const std::string text = "<" + element + " Name=\"n\" " + attributes + ">" + children + "</" + element + ">";
        XmlNodePtr doc(host::XmlNode::NewDocument());
        if (!doc->Parse(text.data(), static_cast<std::uint32_t>(text.size()))) return nullptr;
        XmlNodePtr el(doc->FirstChildElement(element.c_str()));
        if (!el) return nullptr;
        std::unique_ptr<T, FxNodeDeleter> node(new T());
        node->MakeRoot();
        node->SetScene(scene);
        if (!node->LoadFromXml(el.Get(), 0)) return nullptr;
        return node;
    }

    WorldFixture world;
    TestScene* scene = nullptr;
    world::Camera* camera = nullptr;
};

}  // namespace quor::test
