#include "world/core/ExtVisibleNode.h"

namespace quor::world {

void ExtVisibleNode::NotifyHostDetach() {
    if (m_host) {
        m_host->OnDetach();
    }
}

void ExtVisibleNode::InvalidateTransform() {
    VisibleObject::InvalidateTransform();
    if (m_host) {
        m_host->OnTransformChanged();
    }
}

void ExtVisibleNode::DrawParts(int pass) {
    if (m_host) {
        m_host->DrawParts(pass);
        return;
    }
    VisibleObject::DrawParts(pass);
}

int ExtVisibleNode::GetDrawPass() {
    return m_host ? m_host->GetDrawPass() : VisibleObject::GetPartDrawPass(0);
}

int ExtVisibleNode::GetPartDrawPass(int part) {
    return m_host ? m_host->GetPartDrawPass(part) : 0;
}

const Bounds* ExtVisibleNode::GetLocalBound() {
    return m_host ? m_host->GetBound() : &ZeroBound();
}

const Bounds* ExtVisibleNode::GetPartBound(int part) {
    return m_host ? m_host->GetPartBound(part) : &ZeroBound();
}

const Bounds* ExtVisibleNode::GetPartBoundInParent(int part) {
    return m_host ? m_host->GetPartBoundInParent(part) : &ZeroBound();
}

const Bounds* ExtVisibleNode::GetPartBoundInWorld(int part) {
    return m_host ? m_host->GetPartBoundInWorld(part) : &ZeroBound();
}

bool ExtVisibleNode::PreDraw() { return m_host ? m_host->PreDraw() : false; }

void ExtVisibleNode::DrawPart(int part) {
    if (m_host) {
        m_host->DrawPart(part);
    }
}

bool ExtVisibleNode::IsCulled(int part, int pass) {
    return m_host ? m_host->IsCulled(part, pass) : VisibleObject::IsCulled(part, pass);
}

bool ExtVisibleNode::GetPartCulled(int a, int b) {
    return m_host ? m_host->GetPartCulled(a, b) : false;
}

const Bounds* ExtVisibleNode::GetExtBound() { return m_host ? m_host->GetBound() : &ZeroBound(); }

}  // namespace quor::world
