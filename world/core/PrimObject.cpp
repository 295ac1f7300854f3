#include "world/core/PrimObject.h"

#include <algorithm>

#include "platform/host/IEffect.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"

namespace quor::world {

namespace {

render::IRenderer* Renderer() { return Interfaces().renderer; }

}  // namespace

PrimObject::PrimObject(int kind, std::uint32_t vertexFormat, bool withMaterial)
    : m_primitive(Renderer()->CreatePrimitive(kind, vertexFormat)) {
    if (withMaterial && m_primitive) {
        m_material = Renderer()->CreateEffect();
        m_primitive->SetEffect(m_material);
    }
}

PrimObject::~PrimObject() {
    Release();
    if (m_primitive) {
        Renderer()->ReleasePrimitive(m_primitive);
        m_primitive = nullptr;
    }
}

void PrimObject::Release() {
    if (m_primitive && !m_primitiveReleased) {
        m_primitive->Release();
        m_primitiveReleased = true;
    }
    if (m_material) {
        Renderer()->ReleaseEffect(m_material);
        m_material = nullptr;
    }
}

void PrimObject::SetMaterial(render::IEffect* effect) {
    if (m_material) {
        Renderer()->ReleaseEffect(m_material);
        m_material = nullptr;
    }
    m_primitive->SetEffect(effect);
}

void PrimObject::Draw(int first, int count) {
    m_primitive->SetTransform(GetWorldMatrix().m);
    m_primitive->Draw(first, count, 0);
}

void PrimObject::Commit() {
    if (m_primitive->Submit()) {
        Draw(-1, -1);
    }
}

void PrimObject::DrawPart(int) {
    if (!m_primitive->Submit()) {
        Draw(-1, -1);
    }
}

int PrimObject::GetPartDrawPass(int) {
    render::IEffect* effect = m_primitive->GetEffect();
    return effect ? effect->GetDrawPass() : 0;
}

// --- PrimObjectList ------------------------------------------------------------------------------

PrimObjectList::~PrimObjectList() { Clear(); }

PrimObject* PrimObjectList::Create(int kind, std::uint32_t vertexFormat, bool withMaterial) {
    auto* object = NewObject<PrimObject>(kind, vertexFormat, withMaterial);
    if (!object) return nullptr;
    // Every forwarder of the object goes to the primitive: without one there is no object.
    if (!object->GetPrimitive()) {
        LogWarning("PrimObjectList::Create: the renderer made no primitive (kind %d, format 0x%x).",
                   kind, static_cast<unsigned>(vertexFormat));
        delete object;
        return nullptr;
    }
    m_objects.push_back(object);
    return object;
}

PrimObject* PrimObjectList::GetAt(std::uint32_t index) const {
    return index < m_objects.size() ? m_objects[index] : nullptr;
}

void PrimObjectList::DrawVisible() {
    for (PrimObject* object : m_objects) {
        if (object->IsVisible()) {
            object->Commit();
        }
    }
}

void PrimObjectList::Remove(PrimObject* object) {
    auto it = std::find(m_objects.rbegin(), m_objects.rend(), object);
    if (!object || it == m_objects.rend()) {
        return;
    }
    m_objects.erase(std::next(it).base());
    delete object;
}

void PrimObjectList::Clear() {
    for (PrimObject* object : m_objects) {
        delete object;
    }
    m_objects.clear();
}

void PrimObjectList::MoveTo(PrimObject* object, PrimObjectList& other) {
    auto it = std::find(m_objects.rbegin(), m_objects.rend(), object);
    if (!object || it == m_objects.rend()) {
        return;
    }
    m_objects.erase(std::next(it).base());
    other.m_objects.push_back(object);
}

}  // namespace quor::world
