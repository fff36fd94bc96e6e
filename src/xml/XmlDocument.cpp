#include "xml/XmlDocument.h"

namespace Zelvo {

XmlDocument::~XmlDocument() { Clear(); }

XmlElement* XmlDocument::Root() const {
    for (XmlNode* node = first; node; node = node->NextSibling())
        if (node->Type() == XmlNode::ElementNode)
            return static_cast<XmlElement*>(node);
    return nullptr;
}

XmlElement* XmlDocument::FindElement(const char* name, XmlNode* start, bool create) {
    if (!name)
        return nullptr;
    if (!start)
        start = Root();
    if (start) {
        for (XmlNode* node = start; node; node = node->NextInSubtree(start)) {
            XmlElement* element = AsElement(node);
            if (element && element->Name() == name)
                return element;
        }
    }
    if (!create)
        return nullptr;
    auto* created = new XmlElement(name);
    if (start)
        start->AppendChild(created);
    else
        AppendTopLevel(created);
    return created;
}

XmlInstruction* XmlDocument::FindInstruction(const char* target, XmlNode* start, bool create) {
    auto matches = [target](XmlNode* node) {
        return node->Type() == XmlNode::InstructionNode &&
               (!target || static_cast<XmlInstruction*>(node)->Target() == target);
    };
    if (start) {
        for (XmlNode* node = start; node; node = node->NextInSubtree(start))
            if (matches(node))
                return static_cast<XmlInstruction*>(node);
    } else {
        for (XmlNode* top = first; top; top = top->NextSibling())
            for (XmlNode* node = top; node; node = node->NextInSubtree(top))
                if (matches(node))
                    return static_cast<XmlInstruction*>(node);
    }
    if (!create)
        return nullptr;
    auto* created = new XmlInstruction(target ? target : "");
    if (start)
        start->AppendChild(created);
    else
        AppendTopLevel(created);
    return created;
}

void XmlDocument::AppendTopLevel(XmlNode* node) {
    if (!first) {
        first = node;
        return;
    }
    first->AppendSibling(node);
}

void XmlDocument::DeleteNode(XmlNode* node) {
    if (!node)
        return;
    if (node == first)
        first = node->NextSibling();
    XmlNode::Delete(node);
}

void XmlDocument::Reset(const char* rootName) {
    Clear();
    first = new XmlElement(rootName);
}

void XmlDocument::Clear() {
    while (first)
        DeleteNode(first);
}

bool XmlDocument::Parse(const Chars& text) {
    Clear();
    int position = 0;
    XmlNode* node = ParseNode(text, position);
    if (!node)
        return false;
    first = node;
    // Appending after the last node read keeps long top-level sequences linear.
    XmlNode* last = node;
    while ((node = ParseNode(text, position)) != nullptr) {
        last->AppendSibling(node);
        last = node;
    }
    int elements = 0;
    for (XmlNode* top = first; top; top = top->NextSibling())
        if (top->Type() == XmlNode::ElementNode)
            ++elements;
    if (elements != 1) {
        Clear();
        return false;
    }
    return true;
}

bool XmlDocument::Load(const char* path) {
    Chars text;
    if (!text.ReadFile(path)) {
        Clear();
        return false;
    }
    return Parse(text);
}

}  // namespace Zelvo
