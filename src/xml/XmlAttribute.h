#pragma once

#include "xml/Chars.h"

namespace Zelvo {

// One attribute: its value is kept unescaped; the quote byte is the one the writer uses.
// The valid flag is cleared by a numeric read that had to default or clamp.
class XmlAttribute {
public:
    XmlAttribute(const Chars& attributeName = Chars(), const Chars& attributeValue = Chars(), char quoteByte = '"')
        : name(attributeName), value(attributeValue), quote(quoteByte) {}

    const Chars& Name() const { return name; }
    void SetName(const Chars& text) { name = text; }
    char Quote() const { return quote; }
    void SetQuote(char quoteByte) { quote = quoteByte; }

    const Chars& Value() const { return value; }
    // An empty value yields the default, which write-back stores.
    Chars Value(const Chars& defaultValue, bool writeBack);

    void Set(const Chars& text) { value = text; }
    void Set(const char* text) { value = text; }
    void SetInt(int v);
    void SetDouble(double v);

    int ToInt(int defaultValue, bool writeBack, int min, int max);
    double ToDouble(double defaultValue, bool writeBack, double min, double max);
    int ToInt();
    double ToDouble();

    bool WasValid(bool reset);

private:
    Chars name;
    Chars value;
    char quote;
    bool valid = true;
};

}  // namespace Zelvo
