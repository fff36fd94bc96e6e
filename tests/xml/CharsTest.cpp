#include <gtest/gtest.h>

#include "xml/Chars.h"

using Zelvo::Chars;

TEST(Chars, SearchingAndEditing) {
    Chars s("a/b\\c.txt");
    EXPECT_EQ(s.Find('b'), 2);
    EXPECT_EQ(s.Find('b', 3), -1);
    EXPECT_EQ(s.Find('c', 0, 4), -1);
    EXPECT_EQ(s.FindFirstOf("\\/"), 1);
    EXPECT_EQ(s.FindFirstNotOf("a/"), 2);
    EXPECT_EQ(s.FindString(".tx"), 5);
    EXPECT_EQ(s.FindString("zz"), -1);
    EXPECT_TRUE(s.FileName() == "c.txt");
    EXPECT_TRUE(Chars("plain").FileName() == "plain");
    s.ToForwardSlashes();
    EXPECT_TRUE(s == "a/b/c.txt");

    Chars t("xxabcxx");
    t.Trim('x');
    EXPECT_TRUE(t == "abc");

    Chars r("aaa");
    EXPECT_EQ(r.Replace("a", "bb"), 3);
    EXPECT_TRUE(r == "bbbbbb");
    Chars m("<a&b>");
    Chars::Substitution table[] = {{"<", "&lt"}, {"&", "&amp"}};
    EXPECT_EQ(m.MultiReplace(table, 2), 2);
    EXPECT_TRUE(m == "&lta&ampb>");  // replacements are not scanned again

    Chars joined = Chars("ab") + Chars("cd");
    EXPECT_EQ(joined.Length(), 4);
    EXPECT_TRUE(joined != "abc");
    Chars withNul("a\0b", 3);
    EXPECT_EQ(withNul.Length(), 3);
    EXPECT_FALSE(withNul == "a");
}

TEST(Chars, NumberTest) {
    for (const char* yes : {"0", "12", "-3", "+4", ".5", "-.5", "1.5", "12abc", "1e5", "1E-05", "6.009E+02", "-."})
        EXPECT_TRUE(Chars(yes).IsNumber()) << yes;
    for (const char* no : {"", "+", "-", ".", "abc", "1e5x", "1e", "1e+", " 1", "e5"})
        EXPECT_FALSE(Chars(no).IsNumber()) << no;
}

TEST(Chars, FormatterMatchesPrintf) {
    EXPECT_TRUE(Chars::Format("%d-%s", 42, "x") == "42-x");
    EXPECT_TRUE(Chars::Format("%G", 0.3) == "0.3");
    EXPECT_TRUE(Chars::Format("%G", 1e-5) == "1E-05");
    EXPECT_TRUE(Chars::Format("%G", 3.14159265) == "3.14159");
    EXPECT_TRUE(Chars::Format("%G", 1234567.0) == "1.23457E+06");
    EXPECT_TRUE(Chars::Format("100%% %5.2f|%-4d|%c", 2.5, 7, 'z') == "100%  2.50|7   |z");
    EXPECT_TRUE(Chars::Format("%lld %ld", 1LL << 40, 1L << 33) == "1099511627776 8589934592");
    EXPECT_TRUE(Chars::Format("%*d", 4, 9) == "   9");
    EXPECT_TRUE(Chars::Format("no conversions") == "no conversions");
    std::string big(100000, 'q');
    EXPECT_EQ(Chars::Format("%s!", big.c_str()).Length(), 100001);
}
