#include "xml/Chars.h"

#include <cstring>
#include <new>
#include <string>

namespace Zelvo {

namespace {

char* CopyBytes(const char* bytes, int count) {
    char* copy = new char[static_cast<size_t>(count) + 1];
    if (count > 0)
        std::memcpy(copy, bytes, static_cast<size_t>(count));
    copy[count] = 0;
    return copy;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Chars::Chars() : length(0), buffer(CopyBytes("", 0)) {}

Chars::Chars(const char* text)
    : length(text ? static_cast<int>(std::strlen(text)) : 0), buffer(CopyBytes(text, length)) {}

Chars::Chars(const char* bytes, int count) : length(bytes && count > 0 ? count : 0), buffer(CopyBytes(bytes, length)) {}

Chars::Chars(const Chars& other) : length(other.length), buffer(CopyBytes(other.buffer, other.length)) {}

Chars::Chars(Chars&& other) noexcept : length(other.length), buffer(other.buffer) {
    other.length = 0;
    other.buffer = nullptr;
}

Chars::~Chars() { delete[] buffer; }

void Chars::Adopt(char* bytes, int count) {
    delete[] buffer;
    buffer = bytes;
    length = count;
}

Chars& Chars::operator=(const Chars& other) {
    if (this != &other)
        Adopt(CopyBytes(other.buffer, other.length), other.length);
    return *this;
}

Chars& Chars::operator=(Chars&& other) noexcept {
    if (this != &other) {
        delete[] buffer;
        buffer = other.buffer;
        length = other.length;
        other.buffer = nullptr;
        other.length = 0;
    }
    return *this;
}

Chars& Chars::operator=(const char* text) {
    int count = text ? static_cast<int>(std::strlen(text)) : 0;
    Adopt(CopyBytes(text, count), count);
    return *this;
}

Chars Chars::operator+(const Chars& other) const {
    Chars result(*this);
    result += other;
    return result;
}

Chars& Chars::operator+=(const Chars& other) {
    Append(other.Data(), other.Length());
    return *this;
}

void Chars::Append(const char* bytes, int count) {
    if (!bytes || count <= 0)
        return;
    int total = length + count;
    char* joined = new char[static_cast<size_t>(total) + 1];
    std::memcpy(joined, Data(), static_cast<size_t>(length));
    std::memmove(joined + length, bytes, static_cast<size_t>(count));
    joined[total] = 0;
    Adopt(joined, total);
}

bool Chars::operator==(const Chars& other) const {
    return length == other.length && std::memcmp(Data(), other.Data(), static_cast<size_t>(length)) == 0;
}

bool Chars::operator==(const char* text) const {
    if (!text)
        return false;
    size_t n = std::strlen(text);
    return n == static_cast<size_t>(length) && std::memcmp(Data(), text, n) == 0;
}

int Chars::Find(char c, int start, int count) const {
    if (start < 0)
        start = 0;
    int end = count < 0 ? length : (count > length - start ? length : start + count);
    const char* data = Data();
    for (int i = start; i < end; ++i)
        if (data[i] == c)
            return i;
    return -1;
}

int Chars::FindFirstOf(const char* set, int start) const {
    if (start < 0)
        start = 0;
    const char* data = Data();
    for (int i = start; i < length; ++i)
        if (data[i] != 0 && std::strchr(set, data[i]))
            return i;
    return -1;
}

int Chars::FindFirstNotOf(const char* set, int start) const {
    if (start < 0)
        start = 0;
    const char* data = Data();
    for (int i = start; i < length; ++i)
        if (data[i] == 0 || !std::strchr(set, data[i]))
            return i;
    return -1;
}

int Chars::FindString(const char* pattern, int start) const {
    if (!pattern || start < 0 || start > length)
        return -1;
    const char* found = std::strstr(Data() + start, pattern);
    return found ? static_cast<int>(found - Data()) : -1;
}

Chars Chars::Mid(int start, int count) const {
    if (start < 0)
        start = 0;
    if (start > length)
        start = length;
    if (count < 0 || count > length - start)
        count = length - start;
    return Chars(Data() + start, count);
}

void Chars::Trim(char c) {
    int first = 0;
    int last = length;
    while (first < last && buffer[first] == c)
        ++first;
    while (last > first && buffer[last - 1] == c)
        --last;
    if (first != 0 || last != length)
        *this = Mid(first, last - first);
}

int Chars::Replace(const char* pattern, const char* replacement) {
    Substitution one{pattern, replacement};
    return MultiReplace(&one, 1);
}

int Chars::MultiReplace(const Substitution* table, int tableSize) {
    std::string out;
    out.reserve(static_cast<size_t>(length));
    int replaced = 0;
    const char* data = Data();
    int i = 0;
    while (i < length) {
        bool matched = false;
        for (int t = 0; t < tableSize; ++t) {
            size_t n = std::strlen(table[t].pattern);
            if (n > 0 && n <= static_cast<size_t>(length - i) && std::memcmp(data + i, table[t].pattern, n) == 0) {
                out += table[t].replacement;
                i += static_cast<int>(n);
                ++replaced;
                matched = true;
                break;
            }
        }
        if (!matched)
            out += data[i++];
    }
    if (replaced > 0)
        *this = Chars(out.data(), static_cast<int>(out.size()));
    return replaced;
}

Chars Chars::FileName() const {
    for (int i = length - 1; i >= 0; --i)
        if (buffer[i] == '/' || buffer[i] == '\\')
            return Mid(i + 1, length - i - 1);
    return *this;
}

void Chars::ToForwardSlashes() {
    for (int i = 0; i < length; ++i)
        if (buffer[i] == '\\')
            buffer[i] = '/';
}

// A number starts with a digit, or with '.', '+' or '-' followed by more text. Digits (and a
// fraction) may follow; an exponent, when present, must be complete and end the text. Without
// an exponent anything may follow the digits, so "12abc" passes while "1e5x" does not.
bool Chars::IsNumber() const {
    if (length == 0)
        return false;
    const char* s = Data();
    char first = s[0];
    if (!IsDigit(first)) {
        if (first != '.' && first != '+' && first != '-')
            return false;
        if (length < 2)
            return false;
    }
    int i = 1;
    if (first != '.') {
        while (i < length && IsDigit(s[i]))
            ++i;
        if (i < length && s[i] == '.') {
            ++i;
            while (i < length && IsDigit(s[i]))
                ++i;
        }
    } else {
        while (i < length && IsDigit(s[i]))
            ++i;
    }
    if (i < length && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < length && (s[i] == '+' || s[i] == '-'))
            ++i;
        int digitsStart = i;
        while (i < length && IsDigit(s[i]))
            ++i;
        return i > digitsStart && i == length;
    }
    return true;
}

}  // namespace Zelvo
