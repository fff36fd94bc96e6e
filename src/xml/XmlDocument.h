#pragma once

#include <string>

#include "xml/Chars.h"
#include "xml/XmlElement.h"
#include "xml/XmlNode.h"

namespace Zelvo {

// Owns the top-level node sequence: instructions, comments, a doctype and, after a
// successful parse, exactly one root element.
class XmlDocument {
public:
    XmlDocument() = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    ~XmlDocument();

    XmlNode* FirstNode() const { return first; }
    XmlElement* Root() const;

    // The start node (the root when none is given) and then its descendants in pre-order.
    XmlElement* FindElement(const char* name, XmlNode* start, bool create);
    // The first instruction with this target (any target when null) from start in pre-order.
    XmlInstruction* FindInstruction(const char* target, XmlNode* start, bool create);

    void AppendTopLevel(XmlNode* node);
    // Unlinks and destroys a node of this document with its subtree.
    void DeleteNode(XmlNode* node);

    void Reset(const char* rootName);
    void Clear();

    // True when the document now holds exactly one root element; empty otherwise.
    bool Parse(const Chars& text);
    bool Load(const char* path);

private:
    XmlNode* first = nullptr;
};

// The deepest element nesting the parser accepts; deeper input is treated as malformed. The
// parser and the writer keep no per-level state on the call stack, so this bound is not
// about them: it keeps absurd files away from code that shows or walks the tree.
constexpr int kMaxXmlNesting = 10000;

// Parses one node at position; on success the position moves past the node and its tail.
XmlNode* ParseNode(const Chars& text, int& position);

Chars Serialise(const XmlDocument& document);
unsigned short Checksum(const char* bytes, int length);
// Writes the checksum instruction and the document, replacing the file at path atomically
// (WriteFileAtomically); false with the reason in *why when given.
bool SaveWithChecksum(const XmlDocument& document, const char* path, std::string* why = nullptr);
// True when the file was read, parsed and its checksum matched; otherwise the document is
// empty and *why, when given, says what was wrong.
bool LoadWithChecksum(XmlDocument& document, const char* path, std::string* why = nullptr);

}  // namespace Zelvo
