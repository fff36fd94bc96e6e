#include "xml/XmlElement.h"

#include <algorithm>

namespace Zelvo {

namespace {

bool IsElementNamed(const XmlNode* node, const char* name) {
    return node->Type() == XmlNode::ElementNode && static_cast<const XmlElement*>(node)->Name() == name;
}

}  // namespace

XmlElement::~XmlElement() = default;

XmlNode* XmlElement::Clone() const {
    auto* copy = new XmlElement(name);
    CopyBaseTo(*copy);
    copy->text = text;
    copy->flag = flag;
    for (const auto& attribute : attributes)
        copy->AddAttribute(*attribute);
    return copy;
}

XmlElement* XmlElement::FindChild(const char* childName, bool create) {
    if (!childName)
        return nullptr;
    for (XmlNode* child = FirstChild(); child; child = child->NextSibling())
        if (IsElementNamed(child, childName))
            return static_cast<XmlElement*>(child);
    if (!create)
        return nullptr;
    auto* created = new XmlElement(childName);
    AppendChild(created);
    return created;
}

XmlElement* XmlElement::NextSibling(const char* siblingName) const {
    if (!siblingName)
        return nullptr;
    for (XmlNode* node = XmlNode::NextSibling(); node; node = node->NextSibling())
        if (IsElementNamed(node, siblingName))
            return static_cast<XmlElement*>(node);
    return nullptr;
}

XmlElement* XmlElement::FindDescendant(const char* descendantName, bool create) {
    if (!descendantName)
        return nullptr;
    for (XmlNode* node = NextInSubtree(this); node; node = node->NextInSubtree(this))
        if (IsElementNamed(node, descendantName))
            return static_cast<XmlElement*>(node);
    if (!create)
        return nullptr;
    auto* created = new XmlElement(descendantName);
    AppendChild(created);
    return created;
}

XmlElement* XmlElement::FindDescendant(const char* descendantName, const char* attributeName,
                                       const char* attributeValue, bool create) {
    if (!descendantName || !attributeName || !attributeValue)
        return nullptr;
    for (XmlNode* node = NextInSubtree(this); node; node = node->NextInSubtree(this))
        if (IsElementNamed(node, descendantName) &&
            static_cast<XmlElement*>(node)->Attribute(attributeName, attributeValue, false))
            return static_cast<XmlElement*>(node);
    if (!create)
        return nullptr;
    auto* created = new XmlElement(descendantName);
    created->Attribute(attributeName, attributeValue, true);
    AppendChild(created);
    return created;
}

std::vector<XmlElement*> XmlElement::ChildElements(const char* childName) const {
    std::vector<XmlElement*> found;
    if (!childName)
        return found;
    for (XmlNode* child = FirstChild(); child; child = child->NextSibling())
        if (IsElementNamed(child, childName))
            found.push_back(static_cast<XmlElement*>(child));
    return found;
}

XmlAttribute* XmlElement::Attribute(const char* attributeName, bool create) {
    if (!attributeName)
        return nullptr;
    for (const auto& attribute : attributes)
        if (attribute->Name() == attributeName)
            return attribute.get();
    if (!create)
        return nullptr;
    return AddAttribute(XmlAttribute(attributeName));
}

XmlAttribute* XmlElement::Attribute(const char* attributeName, const char* attributeValue, bool create) {
    if (!attributeName || !attributeValue)
        return nullptr;
    for (const auto& attribute : attributes)
        if (attribute->Name() == attributeName && attribute->Value() == attributeValue)
            return attribute.get();
    if (!create)
        return nullptr;
    return AddAttribute(XmlAttribute(attributeName, attributeValue));
}

XmlAttribute* XmlElement::AddAttribute(const XmlAttribute& copy) {
    attributes.push_back(std::make_unique<XmlAttribute>(copy));
    return attributes.back().get();
}

void XmlElement::RemoveAttribute(XmlAttribute* attribute) {
    auto it = std::find_if(attributes.begin(), attributes.end(),
                           [attribute](const auto& held) { return held.get() == attribute; });
    if (it != attributes.end())
        attributes.erase(it);
}

XmlAttribute* XmlElement::AttributeAt(int index) const {
    if (index < 0 || index >= AttributeCount())
        return nullptr;
    return attributes[static_cast<size_t>(index)].get();
}

}  // namespace Zelvo
