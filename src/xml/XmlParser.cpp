// Recursive descent over byte positions: each construct is found from the next '<' and the
// next '>' and decided by the bytes around them. The parser accepts what the writer produces
// and stops quietly at the first construct it does not understand.
#include <cstring>
#include <iterator>

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

class Parser {
public:
    explicit Parser(const Chars& source) : text(source) {}

    XmlNode* Node(int& position, int depth);

private:
    void ReadTail(XmlNode* node, int& position);
    bool ReadAttribute(XmlElement* element, int& position, int tagEnd);
    bool EndTagFollows(const XmlElement* element, int& position);
    XmlNode* Instruction(int a, int b, int& position);
    XmlNode* Bang(int a, int b, int& position);
    XmlNode* Element(int a, int b, int& position, int depth);

    const Chars& text;
};

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

XmlNode* Parser::Node(int& position, int depth) {
    int a = text.Find('<', position);
    int b = text.Find('>', position);
    if (a < 0 || b < 0 || b - a < 2)
        return nullptr;
    char kind = text[a + 1];
    if (kind == '/')
        return nullptr;
    if (kind == '?')
        return Instruction(a, b, position);
    if (kind == '!')
        return Bang(a, b, position);
    return Element(a, b, position, depth);
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

XmlNode* Parser::Element(int a, int b, int& position, int depth) {
    if (depth >= kMaxXmlNesting)
        return nullptr;
    bool empty = text[b - 1] == '/';
    int white = FindWhite(text, a + 2, b);
    XmlElement* element;
    if (white < 0) {
        element = new XmlElement(text.Mid(a + 1, (empty ? b - 1 : b) - (a + 1)));
    } else {
        element = new XmlElement(text.Mid(a + 1, white - (a + 1)));
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
    }
    int at = b + 1;
    if (!empty) {
        int next = text.Find('<', at);
        if (next > at) {
            element->SetText(Unescape(text.Mid(at, next - at)));
            at = next;
        }
        if (!EndTagFollows(element, at)) {
            XmlNode* last = nullptr;
            while (XmlNode* child = Node(at, depth + 1)) {
                if (last)
                    last->AppendSibling(child);
                else
                    element->AppendChild(child);
                last = child;
            }
            if (!EndTagFollows(element, at)) {
                XmlNode::Destroy(element);
                return nullptr;
            }
        }
    }
    position = at;
    ReadTail(element, position);
    return element;
}

}  // namespace

XmlNode* ParseNode(const Chars& text, int& position) {
    Parser parser(text);
    return parser.Node(position, 0);
}

}  // namespace Zelvo
