#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace Zelvo {

// The largest file Chars::ReadFile reads. Project and settings files are far smaller; a file
// near this size is not one of them, and reading it whole would only cost memory and time.
constexpr int64_t kMaxReadFileBytes = int64_t(256) << 20;

// The library's byte string: a length and an owned buffer that always ends in one NUL.
// Bytes are taken as they come; no character set conversion happens here.
class Chars {
public:
    Chars();
    Chars(const char* text);  // NOLINT: implicit on purpose, like a string literal
    Chars(const char* bytes, int length);
    Chars(const Chars& other);
    Chars(Chars&& other) noexcept;
    ~Chars();

    Chars& operator=(const Chars& other);
    Chars& operator=(Chars&& other) noexcept;
    Chars& operator=(const char* text);

    int Length() const { return length; }
    bool IsEmpty() const { return length == 0; }
    // A moved-from string holds no buffer and reads as empty.
    const char* Data() const { return buffer ? buffer : ""; }
    const char* c_str() const { return Data(); }
    char operator[](int i) const { return Data()[i]; }

    Chars operator+(const Chars& other) const;
    Chars& operator+=(const Chars& other);
    void Append(const char* bytes, int count);

    bool operator==(const Chars& other) const;
    bool operator==(const char* text) const;
    bool operator!=(const Chars& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == text); }

    // Position of byte c in [start, start + count), or -1. A negative count searches to the end.
    int Find(char c, int start = 0, int count = -1) const;
    int FindFirstOf(const char* set, int start = 0) const;
    int FindFirstNotOf(const char* set, int start = 0) const;
    // strstr semantics from a position; -1 when absent.
    int FindString(const char* pattern, int start = 0) const;

    Chars Mid(int start, int count) const;
    void Trim(char c);

    // Replaces every occurrence; returns the number of replacements.
    int Replace(const char* pattern, const char* replacement);
    // One left-to-right pass: at each position the first matching pattern of the table is
    // replaced and the scan goes on after the match. Returns the number of replacements.
    struct Substitution {
        const char* pattern;
        const char* replacement;
    };
    int MultiReplace(const Substitution* table, int tableSize);

    // The bytes after the last '/' or '\' (the whole string when there is none).
    Chars FileName() const;
    void ToForwardSlashes();

    // Whether the text starts like a decimal number (see the definition in the .cpp).
    bool IsNumber() const;

    // Reads a whole regular file of at most kMaxReadFileBytes. Anything else (a folder, a
    // pipe, a device, a larger file) is refused without waiting on it, with the reason in
    // *why when asked.
    bool ReadFile(const char* path, std::string* why = nullptr);
    bool WriteFile(const char* path) const;

    // printf-compatible formatting.
    static Chars Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static Chars FormatList(const char* format, va_list args);

private:
    void Adopt(char* bytes, int count);

    int length;
    char* buffer;
};

}  // namespace Zelvo
