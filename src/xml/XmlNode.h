#pragma once

#include "xml/Chars.h"

namespace Zelvo {

// Base of every node of the document tree. Children are kept in document order; the tail
// text is the character data that follows the node up to the next markup.
class XmlNode {
public:
    enum Type { ElementNode = 0, CommentNode = 1, CDataNode = 2, InstructionNode = 3, DoctypeNode = 4 };

    explicit XmlNode(int nodeType);
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;
    // Destroys this node only; Destroy() takes a whole subtree.
    virtual ~XmlNode();
    // A new node of the same class and content, without children or links.
    virtual XmlNode* Clone() const = 0;

    int Type() const { return type; }
    const Chars& Tail() const { return tail; }
    void SetTail(const Chars& text) { tail = text; }

    XmlNode* Parent() const { return parent; }
    XmlNode* FirstChild() const { return firstChild; }
    XmlNode* NextSibling() const { return nextSibling; }
    XmlNode* PrevSibling() const { return prevSibling; }
    XmlNode* Self() const { return self; }

    // The node after this one in pre-order, restricted to the subtree of start.
    XmlNode* NextInSubtree(const XmlNode* start) const;

    void AppendChild(XmlNode* child);
    // Appends node after the last of this node's following siblings.
    void AppendSibling(XmlNode* node);
    // Detaches the node from its parent and siblings; it then belongs to the caller.
    void Unlink();
    // Unlinks the node and destroys it with its whole subtree. A top-level node of a
    // document must be deleted through XmlDocument::DeleteNode, which keeps the document's
    // first-node link right.
    static void Delete(XmlNode* node);
    // Destroys a subtree that is already unlinked (or whose links no longer matter).
    static void Destroy(XmlNode* node);

    // Opaque link to the tree widget item that shows this node, if any.
    void* TreeItem() const { return treeItem; }
    void SetTreeItem(void* item) { treeItem = item; }

protected:
    void CopyBaseTo(XmlNode& copy) const { copy.tail = tail; }

private:
    int type;
    Chars tail;
    XmlNode* parent = nullptr;
    XmlNode* firstChild = nullptr;
    XmlNode* prevSibling = nullptr;
    XmlNode* nextSibling = nullptr;
    XmlNode* self;
    void* treeItem = nullptr;
};

// A node of one text: comment, CDATA section or doctype.
class XmlTextNode : public XmlNode {
public:
    XmlTextNode(int nodeType, const Chars& text) : XmlNode(nodeType), content(text) {}
    const Chars& Content() const { return content; }
    void SetContent(const Chars& text) { content = text; }

private:
    Chars content;
};

class XmlComment : public XmlTextNode {
public:
    explicit XmlComment(const Chars& text = Chars()) : XmlTextNode(CommentNode, text) {}
    XmlNode* Clone() const override;
};

class XmlCData : public XmlTextNode {
public:
    explicit XmlCData(const Chars& text = Chars()) : XmlTextNode(CDataNode, text) {}
    XmlNode* Clone() const override;
};

class XmlDoctype : public XmlTextNode {
public:
    explicit XmlDoctype(const Chars& text = Chars()) : XmlTextNode(DoctypeNode, text) {}
    XmlNode* Clone() const override;
};

class XmlInstruction : public XmlNode {
public:
    XmlInstruction(const Chars& targetName = Chars(), const Chars& instructionData = Chars())
        : XmlNode(InstructionNode), target(targetName), data(instructionData) {}
    XmlNode* Clone() const override;

    const Chars& Target() const { return target; }
    const Chars& Data() const { return data; }
    void SetTarget(const Chars& text) { target = text; }
    void SetData(const Chars& text) { data = text; }

private:
    Chars target;
    Chars data;
};

}  // namespace Zelvo
