#include "xml/XmlNode.h"

namespace Zelvo {

XmlNode::XmlNode(int nodeType) : type(nodeType), self(this) {}

XmlNode::~XmlNode() = default;

XmlNode* XmlNode::NextInSubtree(const XmlNode* start) const {
    if (firstChild)
        return firstChild;
    const XmlNode* node = this;
    while (node && node != start) {
        if (node->nextSibling)
            return node->nextSibling;
        node = node->parent;
    }
    return nullptr;
}

void XmlNode::AppendChild(XmlNode* child) {
    child->parent = this;
    child->nextSibling = nullptr;
    if (!firstChild) {
        child->prevSibling = nullptr;
        firstChild = child;
        return;
    }
    XmlNode* last = firstChild;
    while (last->nextSibling)
        last = last->nextSibling;
    last->nextSibling = child;
    child->prevSibling = last;
}

void XmlNode::AppendSibling(XmlNode* node) {
    XmlNode* last = this;
    while (last->nextSibling)
        last = last->nextSibling;
    last->nextSibling = node;
    node->prevSibling = last;
    node->nextSibling = nullptr;
    node->parent = parent;
}

void XmlNode::Unlink() {
    if (parent && parent->firstChild == this)
        parent->firstChild = nextSibling;
    if (prevSibling)
        prevSibling->nextSibling = nextSibling;
    if (nextSibling)
        nextSibling->prevSibling = prevSibling;
    parent = prevSibling = nextSibling = nullptr;
}

void XmlNode::Delete(XmlNode* node) {
    if (!node)
        return;
    node->Unlink();
    Destroy(node);
}

// Walks the subtree without recursion so that deep trees cannot exhaust the stack.
void XmlNode::Destroy(XmlNode* node) {
    if (!node)
        return;
    node->parent = nullptr;
    node->nextSibling = nullptr;
    XmlNode* current = node;
    while (current) {
        if (current->firstChild) {
            current = current->firstChild;
            continue;
        }
        XmlNode* next = current->nextSibling ? current->nextSibling : current->parent;
        if (current->parent && current->parent->firstChild == current)
            current->parent->firstChild = current->nextSibling;
        delete current;
        current = next;
    }
}

XmlNode* XmlComment::Clone() const {
    auto* copy = new XmlComment(Content());
    CopyBaseTo(*copy);
    return copy;
}

XmlNode* XmlCData::Clone() const {
    auto* copy = new XmlCData(Content());
    CopyBaseTo(*copy);
    return copy;
}

XmlNode* XmlDoctype::Clone() const {
    auto* copy = new XmlDoctype(Content());
    CopyBaseTo(*copy);
    return copy;
}

XmlNode* XmlInstruction::Clone() const {
    auto* copy = new XmlInstruction(target, data);
    CopyBaseTo(*copy);
    return copy;
}

}  // namespace Zelvo
