// A descent over byte positions: each construct is found from the next '<' and the next '>'
// and decided by the bytes around them. The parser accepts what the writer produces
// and stops quietly at the first construct it does not understand.
#include <cstring>
#include <iterator>
#include <vector>

#include "xml/XmlDocument.h"

namespace Zelvo {

namespace {

constexpr const char* kWhiteSpace = " \t\n\r";

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool StartsWith(const Chars& text, int at, const char* literal) {
    int n = static_cast<int>(std::strlen(literal));
    return at >= 0 && at + n <= text.Length() && std::memcmp(text.Data() + at, literal, static_cast<size_t>(n)) == 0;
}

// First white-space byte in [from, to), or -1.
int FindWhite(const Chars& text, int from, int to) {
    for (int i = from; i < to; ++i)
        if (IsWhite(text[i]))
            return i;
    return -1;
}

// The writer escapes in one left-to-right pass, so reading undoes it in one pass as well:
// every entity is decoded exactly once, and bytes a decoded entity produces are never read
// as part of another entity ("&ampgt" is the text "&gt", not ">"). Element text, tail text
// and attribute values share the table.
Chars Unescape(const Chars& raw) {
    static const Chars::Substitution kEntities[] = {
        {"&quot", "\""}, {"&apos", "'"}, {"&lt", "<"}, {"&gt", ">"}, {"&amp", "&"}};
    Chars text = raw;
    if (text.Find('&') >= 0)
        text.MultiReplace(kEntities, static_cast<int>(std::size(kEntities)));
    return text;
}

// An element whose start tag has been read and whose end tag has not, with its last child so
// far: appending after it keeps elements with many children linear.
struct OpenElement {
    XmlElement* element;
    XmlNode* lastChild;
};

class Parser {
public:
    explicit Parser(const Chars& source) : text(source) {}

    // One node with its whole subtree. The elements being read are kept on a stack of our
    // own rather than on the call stack, so that no nesting depth can exhaust a thread's
    // stack (worker threads may have small ones).
    XmlNode* Node(int& position);

private:
    // What the markup at a position is: nothing this parser reads, a whole node, or the
    // start tag (and text) of an element whose children and end tag follow.
    enum class Markup { None, Complete, Opened };

    Markup Read(int& position, int depth, XmlNode*& node);
    void ReadTail(XmlNode* node, int& position);
    bool ReadAttribute(XmlElement* element, int& position, int tagEnd);
    bool EndTagFollows(const XmlElement* element, int& position);
    XmlNode* Instruction(int a, int b, int& position);
    XmlNode* Bang(int a, int b, int& position);
    XmlElement* StartTag(int a, int b, bool empty);
    Markup Element(int a, int b, int& position, int depth, XmlNode*& node);

    const Chars& text;
};

void Adopt(OpenElement& parent, XmlNode* child) {
    if (parent.lastChild)
        parent.lastChild->AppendSibling(child);
    else
        parent.element->AppendChild(child);
    parent.lastChild = child;
}

// Character data up to the next markup, or up to the end of the text after the last node,
// so that text the writer put after the root element reads back.
void Parser::ReadTail(XmlNode* node, int& position) {
    int next = text.Find('<', position);
    if (next < 0)
        next = text.Length();
    if (next > position) {
        node->SetTail(Unescape(text.Mid(position, next - position)));
        position = next;
    }
}

// Children are read until no further node follows; then the innermost open element must
// end there, or it fails together with every element around it.
XmlNode* Parser::Node(int& position) {
    std::vector<OpenElement> open;
    int at = position;
    for (;;) {
        XmlNode* node = nullptr;
        Markup markup = Read(at, static_cast<int>(open.size()), node);
        if (markup != Markup::None) {
            if (!open.empty())
                Adopt(open.back(), node);
            if (markup == Markup::Opened)
                open.push_back({static_cast<XmlElement*>(node), nullptr});
        } else {
            if (open.empty())
                return nullptr;
            node = open.back().element;
            if (!EndTagFollows(open.back().element, at)) {
                XmlNode::Destroy(open.front().element);
                return nullptr;
            }
            open.pop_back();
            ReadTail(node, at);
        }
        if (open.empty()) {
            position = at;
            return node;
        }
    }
}

Parser::Markup Parser::Read(int& position, int depth, XmlNode*& node) {
    int a = text.Find('<', position);
    int b = text.Find('>', position);
    if (a < 0 || b < 0 || b - a < 2)
        return Markup::None;
    char kind = text[a + 1];
    if (kind == '/')
        return Markup::None;
    if (kind == '?' || kind == '!') {
        node = kind == '?' ? Instruction(a, b, position) : Bang(a, b, position);
        return node ? Markup::Complete : Markup::None;
    }
    return Element(a, b, position, depth, node);
}

XmlNode* Parser::Instruction(int a, int b, int& position) {
    if (text[b - 1] != '?' || b - a < 3)
        return nullptr;
    int white = FindWhite(text, a + 2, b);
    XmlInstruction* node;
    if (white < 0) {
        node = new XmlInstruction(text.Mid(a + 2, b - 1 - (a + 2)));
    } else {
        int dataStart = text.FindFirstNotOf(kWhiteSpace, white);
        Chars data;
        if (dataStart >= 0 && dataStart < b - 1)
            data = text.Mid(dataStart, b - 1 - dataStart);
        node = new XmlInstruction(text.Mid(a + 2, white - (a + 2)), data);
    }
    position = b + 1;
    ReadTail(node, position);
    return node;
}

XmlNode* Parser::Bang(int a, int b, int& position) {
    if (StartsWith(text, a + 2, "--")) {
        int end = text.FindString("-->", a + 1);
        if (end < a + 4)
            return nullptr;
        XmlNode* node = new XmlComment(text.Mid(a + 4, end - (a + 4)));
        position = end + 3;
        ReadTail(node, position);
        return node;
    }
    if (StartsWith(text, a + 2, "[CDATA[")) {
        int end = text.FindString("]]>", a + 1);
        if (end < a + 9)
            return nullptr;
        XmlNode* node = new XmlCData(text.Mid(a + 9, end - (a + 9)));
        position = end + 3;
        ReadTail(node, position);
        return node;
    }
    if (StartsWith(text, a + 2, "DOCTYPE")) {
        // Up to the first '>', so an internal subset holding '>' is cut there; no tail.
        XmlNode* node = new XmlDoctype(text.Mid(a + 9, b - (a + 9)));
        position = b + 1;
        return node;
    }
    return nullptr;
}

bool Parser::ReadAttribute(XmlElement* element, int& position, int tagEnd) {
    int s = position;
    int equals = text.Find('=', s, tagEnd - s + 1);
    if (equals < 0 || equals == s)
        return false;
    int open = -1;
    for (int i = equals + 1; i < tagEnd; ++i)
        if (text[i] == '"' || text[i] == '\'') {
            open = i;
            break;
        }
    if (open < 0)
        return false;
    char quote = text[open];
    int close = text.Find(quote, open + 1, tagEnd - (open + 1));
    if (close < 0)
        return false;
    Chars name = text.Mid(s, equals - s);
    name.Trim(' ');
    if (name.IsEmpty())
        return false;
    element->AddAttribute(XmlAttribute(name, Unescape(text.Mid(open + 1, close - open - 1)), quote));
    position = close + 1;
    return true;
}

bool Parser::EndTagFollows(const XmlElement* element, int& position) {
    int a = text.Find('<', position);
    int b = text.Find('>', position);
    if (a < 0 || b < 0 || b - a <= 1)
        return false;
    // Only a '/' before b can qualify; bounding the search keeps deep documents linear.
    int slash = b > a + 1 ? text.Find('/', a + 1, b - (a + 1)) : -1;
    if (slash < 0 || slash >= b - 1 || text[a + 1] != '/')
        return false;
    if (text.Mid(slash + 1, b - slash - 1) != element->Name())
        return false;
    position = b + 1;
    return true;
}

// The name and attributes of the tag between a and b, or null when the tag is malformed.
XmlElement* Parser::StartTag(int a, int b, bool empty) {
    int white = FindWhite(text, a + 2, b);
    if (white < 0)
        return new XmlElement(text.Mid(a + 1, (empty ? b - 1 : b) - (a + 1)));
    auto* element = new XmlElement(text.Mid(a + 1, white - (a + 1)));
    int at = text.FindFirstNotOf(kWhiteSpace, white);
    int count = 0;
    while (at >= 0 && at < b && ReadAttribute(element, at, b)) {
        ++count;
        int next = text.FindFirstNotOf(kWhiteSpace, at);
        at = next < 0 ? text.Length() : next;
    }
    // A tag with white space after its name must carry at least one attribute.
    if (count == 0) {
        XmlNode::Destroy(element);
        return nullptr;
    }
    return element;
}

// An empty element is complete with its tail; a start tag opens the element and reads its
// text, and the caller reads the children and the end tag.
Parser::Markup Parser::Element(int a, int b, int& position, int depth, XmlNode*& node) {
    if (depth >= kMaxXmlNesting)
        return Markup::None;
    bool empty = text[b - 1] == '/';
    XmlElement* element = StartTag(a, b, empty);
    if (!element)
        return Markup::None;
    node = element;
    position = b + 1;
    if (empty) {
        ReadTail(element, position);
        return Markup::Complete;
    }
    int next = text.Find('<', position);
    if (next > position) {
        element->SetText(Unescape(text.Mid(position, next - position)));
        position = next;
    }
    return Markup::Opened;
}

}  // namespace

XmlNode* ParseNode(const Chars& text, int& position) {
    Parser parser(text);
    return parser.Node(position);
}

}  // namespace Zelvo
