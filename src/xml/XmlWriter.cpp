// Writes a document in the library's own dialect: no declaration, no indentation, one CR after
// every node unless the text that follows already starts a line. Together with the parser,
// which keeps those CR bytes as texts, a loaded file saves back byte for byte.
#include <string>

#include "xml/XmlDocument.h"

namespace Zelvo {

namespace {

class Writer {
public:
    Writer() { out.reserve(65536); }

    void Chain(const XmlNode* node);
    Chars Result() const { return Chars(out.data(), static_cast<int>(out.size())); }

private:
    bool Open(const XmlNode* node);
    void Leaf(const XmlNode* node);
    void Close(const XmlElement* element);
    void Tail(const XmlNode* node);
    void Attributes(const XmlElement* element);
    void LineBreakUnless(const Chars& following);
    void Text(const Chars& text);
    int LineFeeds(const char* s, int i, int n);
    void AttributeValue(const Chars& value, char quote);

    std::string out;
};

// Walks the tree in document order by its links, without recursion, so that no depth of
// nesting can exhaust the stack: an element with children is opened, its children follow,
// and it is closed when the walk climbs back out of them.
void Writer::Chain(const XmlNode* node) {
    const XmlNode* outside = node ? node->Parent() : nullptr;
    while (node) {
        if (Open(node)) {
            node = node->FirstChild();
            continue;
        }
        Tail(node);
        while (!node->NextSibling()) {
            node = node->Parent();
            if (node == outside)
                return;
            Close(static_cast<const XmlElement*>(node));
            Tail(node);
        }
        node = node->NextSibling();
    }
}

// Writes the start of an element with children and returns true; any other node is written
// whole. Only elements have their children written.
bool Writer::Open(const XmlNode* node) {
    if (node->Type() != XmlNode::ElementNode || !node->FirstChild()) {
        Leaf(node);
        return false;
    }
    const auto* element = static_cast<const XmlElement*>(node);
    out += '<';
    out += element->Name().c_str();
    Attributes(element);
    out += '>';
    LineBreakUnless(element->Text());
    Text(element->Text());
    return true;
}

void Writer::Close(const XmlElement* element) {
    out += "</";
    out += element->Name().c_str();
    out += '>';
}

void Writer::Tail(const XmlNode* node) {
    LineBreakUnless(node->Tail());
    Text(node->Tail());
}

void Writer::Leaf(const XmlNode* node) {
    switch (node->Type()) {
    case XmlNode::ElementNode: {
        const auto* element = static_cast<const XmlElement*>(node);
        out += '<';
        out += element->Name().c_str();
        Attributes(element);
        out += "/>";
        break;
    }
    case XmlNode::CommentNode:
        out += "<!--";
        out += static_cast<const XmlTextNode*>(node)->Content().c_str();
        out += "-->";
        break;
    case XmlNode::CDataNode: {
        const Chars& content = static_cast<const XmlTextNode*>(node)->Content();
        if (content.FindString("]]>") >= 0)
            throw Chars("CDATA section must not contain a \"]]>\" substring");
        out += "<![CDATA[";
        out += content.c_str();
        out += "]]>";
        break;
    }
    case XmlNode::InstructionNode: {
        const auto* instruction = static_cast<const XmlInstruction*>(node);
        out += "<?";
        out += instruction->Target().c_str();
        out += ' ';
        out += instruction->Data().c_str();
        out += "?>";
        break;
    }
    case XmlNode::DoctypeNode:
        out += "<!DOCTYPE";
        out += static_cast<const XmlTextNode*>(node)->Content().c_str();
        out += '>';
        break;
    default: break;
    }
}

void Writer::Attributes(const XmlElement* element) {
    for (int i = 0; i < element->AttributeCount(); ++i) {
        const XmlAttribute* attribute = element->AttributeAt(i);
        out += ' ';
        out += attribute->Name().c_str();
        out += '=';
        out += attribute->Quote();
        AttributeValue(attribute->Value(), attribute->Quote());
        out += attribute->Quote();
    }
}

void Writer::LineBreakUnless(const Chars& following) {
    if (following.IsEmpty() || (following[0] != '\r' && following[0] != '\n'))
        out += '\r';
}

// The pair LF CR is written as CR. A run of LFs right before a CR goes with it: keeping all
// but the last would leave an LF before the written CR, which the next load and save would
// turn into CR again, so a saved file would not save back to the same bytes.
void Writer::Text(const Chars& text) {
    const char* s = text.Data();
    int n = text.Length();
    for (int i = 0; i < n; ++i) {
        char c = s[i];
        if (c == '<') {
            out += "&lt";
        } else if (c == '&') {
            out += "&amp";
        } else if (c == '\n') {
            i = LineFeeds(s, i, n);
        } else {
            out += c;
        }
    }
}

// Writes the run of LFs that starts at i; returns the index of its last byte, or of the CR
// that ends it.
int Writer::LineFeeds(const char* s, int i, int n) {
    int end = i;
    while (end < n && s[end] == '\n')
        ++end;
    if (end < n && s[end] == '\r') {
        out += '\r';
        return end;
    }
    out.append(static_cast<size_t>(end - i), '\n');
    return end - 1;
}

void Writer::AttributeValue(const Chars& value, char quote) {
    const char* s = value.Data();
    for (int i = 0; i < value.Length(); ++i) {
        char c = s[i];
        if (c == '&')
            out += "&amp";
        else if (c == '<')
            out += "&lt";
        else if (c == '>')
            out += "&gt";
        else if (c == quote && quote == '"')
            out += "&quot";
        else if (c == quote && quote == '\'')
            out += "&apos";
        else
            out += c;
    }
}

}  // namespace

Chars Serialise(const XmlDocument& document) {
    Writer writer;
    writer.Chain(document.FirstNode());
    return writer.Result();
}

}  // namespace Zelvo
