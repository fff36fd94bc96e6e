#include <gtest/gtest.h>

#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

bool Parses(const char* text) {
    XmlDocument doc;
    return doc.Parse(text);
}

}  // namespace

TEST(XmlParser, TagAcceptanceRules) {
    EXPECT_TRUE(Parses("<a/>"));
    EXPECT_TRUE(Parses("<a></a>"));
    EXPECT_TRUE(Parses("<a x=\"1\" />"));
    EXPECT_TRUE(Parses("<a x=\"1\"/>"));
    EXPECT_FALSE(Parses("<a >"));
    EXPECT_FALSE(Parses("<a />"));
    EXPECT_FALSE(Parses("<a > </a>"));
    EXPECT_FALSE(Parses("<a/><b/>"));  // two top-level elements
    EXPECT_FALSE(Parses("<a><b></a>"));
    EXPECT_FALSE(Parses("<name></name >"));  // "</name >" does not close "name"
    EXPECT_FALSE(Parses(""));
    EXPECT_FALSE(Parses("just text"));
    EXPECT_FALSE(Parses("<?pi only?>"));

    XmlDocument doc;
    ASSERT_TRUE(doc.Parse("<a x=\"1\" y='two'/>"));
    XmlElement* a = doc.Root();
    EXPECT_TRUE(a->Name() == "a");
    ASSERT_EQ(a->AttributeCount(), 2);
    EXPECT_TRUE(a->Attribute("x", false)->Value() == "1");
    EXPECT_EQ(a->Attribute("x", false)->Quote(), '"');
    EXPECT_EQ(a->Attribute("y", false)->Quote(), '\'');
    EXPECT_TRUE(a->Attribute("y", false)->Value() == "two");
}

TEST(XmlParser, EntitiesHaveNoSemicolonAndAreDecodedOnce) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse("<a v=\"&ampgt\" w='&amplt&ampamp'>&ampgt<b/></a>"));
    EXPECT_TRUE(doc.Root()->Attribute("v", false)->Value() == "&gt");
    EXPECT_TRUE(doc.Root()->Attribute("w", false)->Value() == "&lt&amp");
    EXPECT_TRUE(doc.Root()->Text() == "&gt");

    ASSERT_TRUE(doc.Parse("<a>x&ampy<b/></a>"));
    EXPECT_TRUE(doc.Root()->Text() == "x&y");
    ASSERT_TRUE(doc.Parse("<a>x&amp;y<b/></a>"));
    EXPECT_TRUE(doc.Root()->Text() == "x&;y");
    ASSERT_TRUE(doc.Parse("<a q=\"&quot&apos&lt\"/>"));
    EXPECT_TRUE(doc.Root()->Attribute("q", false)->Value() == "\"'<");
}

TEST(XmlParser, NodeKindsTextsAndTails) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.Parse("<?XmlFileChecksum 4711 ?><!DOCTYPE r [x]>\n<!--c-->t1<r>\r<![CDATA[<raw>]]>tail<e/>\n</r>trailing"));
    XmlNode* first = doc.FirstNode();
    ASSERT_EQ(first->Type(), XmlNode::InstructionNode);
    auto* pi = static_cast<XmlInstruction*>(first);
    EXPECT_TRUE(pi->Target() == "XmlFileChecksum");
    EXPECT_TRUE(pi->Data() == "4711 ");
    XmlNode* doctype = first->NextSibling();
    ASSERT_EQ(doctype->Type(), XmlNode::DoctypeNode);
    EXPECT_TRUE(static_cast<XmlTextNode*>(doctype)->Content() == " r [x]");
    EXPECT_TRUE(doctype->Tail() == "");  // no tail is read after a doctype
    XmlNode* comment = doctype->NextSibling();
    ASSERT_EQ(comment->Type(), XmlNode::CommentNode);
    EXPECT_TRUE(static_cast<XmlTextNode*>(comment)->Content() == "c");
    EXPECT_TRUE(comment->Tail() == "t1");
    XmlElement* r = doc.Root();
    EXPECT_TRUE(r->Text() == "\r");
    XmlNode* cdata = r->FirstChild();
    ASSERT_EQ(cdata->Type(), XmlNode::CDataNode);
    EXPECT_TRUE(static_cast<XmlTextNode*>(cdata)->Content() == "<raw>");
    EXPECT_TRUE(cdata->Tail() == "tail");
    EXPECT_TRUE(cdata->NextSibling()->Tail() == "\n");
    EXPECT_TRUE(r->Tail() == "trailing");  // text after the root is its tail

    ASSERT_TRUE(doc.Parse("<?pi?><r/>"));
    EXPECT_TRUE(static_cast<XmlInstruction*>(doc.FirstNode())->Target() == "pi");
    EXPECT_TRUE(static_cast<XmlInstruction*>(doc.FirstNode())->Data() == "");

    // A '>' inside an attribute value ends the tag early.
    EXPECT_FALSE(Parses("<a x=\"1>2\"/>"));
    // Unknown markup stops the parse quietly after a completed root.
    ASSERT_TRUE(doc.Parse("<r/><!BOGUS><x/>"));
    EXPECT_EQ(doc.Root()->NextSibling(), nullptr);
}
