#include "xml/Chars.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace Zelvo {

namespace {

constexpr const char* kConversionEnds = "diouxXfeEgGcsSpn%";
constexpr int kMaxSpecLength = 15;

// Renders one conversion specification with its argument. The argument type follows the
// conversion and, for integers, the length modifier, so that 64-bit values are read whole.
void RenderSpec(std::string& out, std::string spec, va_list& args) {
    char conversion = spec.back();
    if (conversion == '%') {
        out += '%';
        return;
    }
    // A '*' width or precision takes an int argument of its own before the value.
    int stars = 0;
    for (char c : spec)
        if (c == '*')
            ++stars;
    int starValues[2] = {0, 0};
    for (int i = 0; i < stars && i < 2; ++i)
        starValues[i] = va_arg(args, int);

    char local[512];
    int needed = 0;
    auto render = [&](auto value) {
        if (stars == 0)
            needed = std::snprintf(local, sizeof local, spec.c_str(), value);
        else if (stars == 1)
            needed = std::snprintf(local, sizeof local, spec.c_str(), starValues[0], value);
        else
            needed = std::snprintf(local, sizeof local, spec.c_str(), starValues[0], starValues[1], value);
        if (needed < 0)
            return;
        if (static_cast<size_t>(needed) < sizeof local) {
            out.append(local, static_cast<size_t>(needed));
            return;
        }
        std::string big(static_cast<size_t>(needed) + 1, '\0');
        if (stars == 0)
            std::snprintf(big.data(), big.size(), spec.c_str(), value);
        else if (stars == 1)
            std::snprintf(big.data(), big.size(), spec.c_str(), starValues[0], value);
        else
            std::snprintf(big.data(), big.size(), spec.c_str(), starValues[0], starValues[1], value);
        out.append(big.data(), static_cast<size_t>(needed));
    };

    bool longLong = spec.find("ll") != std::string::npos || spec.find('j') != std::string::npos ||
                    spec.find('z') != std::string::npos || spec.find('t') != std::string::npos;
    bool isLong = !longLong && spec.find('l') != std::string::npos;
    switch (conversion) {
    case 'e':
    case 'E':
    case 'f':
    case 'g':
    case 'G': render(va_arg(args, double)); break;
    case 's':
    case 'S': {
        std::string narrow = spec;
        narrow.back() = 's';
        // "%ls" would read a wide string; the library's strings are bytes.
        for (size_t p = narrow.find('l'); p != std::string::npos; p = narrow.find('l'))
            narrow.erase(p, 1);
        const char* text = va_arg(args, const char*);
        spec = narrow;
        render(text ? text : "(null)");
        break;
    }
    case 'p': render(va_arg(args, void*)); break;
    case 'n':
        // Writing through a caller's pointer from a format string is never wanted here.
        (void)va_arg(args, void*);
        break;
    default:
        if (longLong)
            render(va_arg(args, long long));
        else if (isLong)
            render(va_arg(args, long));
        else
            render(va_arg(args, int));
        break;
    }
}

}  // namespace

Chars Chars::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Chars result = FormatList(format, args);
    va_end(args);
    return result;
}

// The format is split into literal runs and conversion specifications; each specification
// is rendered on its own with its single argument.
Chars Chars::FormatList(const char* format, va_list args) {
    std::string out;
    if (!format)
        return Chars();
    va_list walk;
    va_copy(walk, args);
    const char* p = format;
    while (*p) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            size_t run = next ? static_cast<size_t>(next - p) : std::strlen(p);
            out.append(p, run);
            p += run;
            continue;
        }
        const char* end = p + 1;
        while (*end && !std::strchr(kConversionEnds, *end))
            ++end;
        if (!*end) {
            out += p;  // an unfinished specification stays as text
            break;
        }
        std::string spec(p, static_cast<size_t>(end - p + 1));
        if (static_cast<int>(spec.size()) > kMaxSpecLength)
            out += spec;
        else
            RenderSpec(out, spec, walk);
        p = end + 1;
    }
    va_end(walk);
    return Chars(out.data(), static_cast<int>(out.size()));
}

}  // namespace Zelvo
