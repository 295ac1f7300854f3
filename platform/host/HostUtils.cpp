#include "platform/host/HostUtils.h"

#include "platform/host/XmlNode.h"

namespace quor::host {

common::IXmlNode* HostUtils::CreateXmlDocument() { return XmlNode::NewDocument(); }

}  // namespace quor::host
