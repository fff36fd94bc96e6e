#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

// Runs work on a thread whose stack holds only stackBytes, far less than the smallest stack
// a worker thread of the program gets.
void RunOnSmallStack(size_t stackBytes, std::function<void()> work) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
    pthread_t thread;
    auto body = [](void* job) -> void* {
        (*static_cast<std::function<void()>*>(job))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, body, &work), 0);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
}

std::string Nested(int depth) {
    std::string text;
    text.reserve(static_cast<size_t>(depth) * 7);
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}

Chars AsChars(const std::string& s) { return Chars(s.data(), static_cast<int>(s.size())); }

int Depth(const XmlDocument& doc) {
    int depth = 0;
    for (XmlNode* node = doc.Root(); node; node = node->FirstChild())
        ++depth;
    return depth;
}

constexpr size_t kSmallStack = 256 * 1024;

}  // namespace

// Parsing, writing and destroying never recurse per nesting level: a million levels on a
// 256 KB stack are refused cleanly, the deepest accepted document round-trips, and a tree of a
// million levels built in memory is written and destroyed.
TEST(XmlDeepNesting, NeverExhaustsASmallStack) {
    const std::string tooDeep = Nested(1000000);
    const std::string deepest = Nested(kMaxXmlNesting);
    const std::string oneMore = Nested(kMaxXmlNesting + 1);
    bool tooDeepParsed = true, tooDeepEmpty = false, deepestParsed = false, oneMoreParsed = true;
    int deepestDepth = 0, reparsedDepth = 0;
    bool deepestWritesBack = false;
    size_t builtLength = 0;
    bool builtShape = false;
    RunOnSmallStack(kSmallStack, [&] {
        XmlDocument doc;
        tooDeepParsed = doc.Parse(AsChars(tooDeep));
        tooDeepEmpty = doc.FirstNode() == nullptr;
        oneMoreParsed = doc.Parse(AsChars(oneMore));

        deepestParsed = doc.Parse(AsChars(deepest));
        deepestDepth = Depth(doc);
        Chars written = Serialise(doc);
        XmlDocument again;
        if (again.Parse(written)) {
            reparsedDepth = Depth(again);
            deepestWritesBack = Serialise(again) == written;
        }

        doc.Reset("a");
        XmlNode* innermost = doc.Root();
        for (int i = 1; i < 1000000; ++i) {
            auto* child = new XmlElement("a");
            innermost->AppendChild(child);
            innermost = child;
        }
        Chars built = Serialise(doc);
        builtLength = static_cast<size_t>(built.Length());
        // Start tags first, the innermost element in the middle, end tags last.
        builtShape = built.FindString("<a>\r<a>\r") == 0 && built.FindString("<a/>\r</a>\r") == 999999 * 4 &&
                     built.FindString("</a>\r", built.Length() - 5) == built.Length() - 5;
        doc.Clear();
    });
    EXPECT_FALSE(tooDeepParsed);
    EXPECT_TRUE(tooDeepEmpty);
    EXPECT_FALSE(oneMoreParsed);
    EXPECT_TRUE(deepestParsed);
    EXPECT_EQ(deepestDepth, kMaxXmlNesting);
    EXPECT_EQ(reparsedDepth, kMaxXmlNesting);
    EXPECT_TRUE(deepestWritesBack);
    // 999,999 start tags "<a>\r", one "<a/>\r", 999,999 end tags "</a>\r".
    EXPECT_EQ(builtLength, 999999u * 4 + 5 + 999999u * 5);
    EXPECT_TRUE(builtShape);
}
