#pragma once

#include <memory>
#include <vector>

#include "xml/XmlAttribute.h"
#include "xml/XmlNode.h"

namespace Zelvo {

class XmlElement : public XmlNode {
public:
    explicit XmlElement(const Chars& elementName = Chars()) : XmlNode(ElementNode), name(elementName) {}
    ~XmlElement() override;
    // Name, text, tail, flag and attributes; no children.
    XmlNode* Clone() const override;

    const Chars& Name() const { return name; }
    void SetName(const Chars& text) { name = text; }
    const Chars& Text() const { return text; }
    void SetText(const Chars& value) { text = value; }
    unsigned char Flag() const { return flag; }
    void SetFlag(unsigned char value) { flag = value; }

    XmlElement* FindChild(const char* childName, bool create);
    XmlElement* NextSibling(const char* siblingName) const;
    using XmlNode::NextSibling;
    XmlElement* FindDescendant(const char* descendantName, bool create);
    XmlElement* FindDescendant(const char* descendantName, const char* attributeName, const char* attributeValue,
                               bool create);
    std::vector<XmlElement*> ChildElements(const char* childName) const;

    XmlAttribute* Attribute(const char* attributeName, bool create);
    XmlAttribute* Attribute(const char* attributeName, const char* attributeValue, bool create);
    XmlAttribute* AddAttribute(const XmlAttribute& copy);
    void RemoveAttribute(XmlAttribute* attribute);
    int AttributeCount() const { return static_cast<int>(attributes.size()); }
    XmlAttribute* AttributeAt(int index) const;

private:
    Chars name;
    Chars text;
    unsigned char flag = 0;
    std::vector<std::unique_ptr<XmlAttribute>> attributes;
};

inline XmlElement* AsElement(XmlNode* node) {
    return node && node->Type() == XmlNode::ElementNode ? static_cast<XmlElement*>(node) : nullptr;
}

}  // namespace Zelvo
