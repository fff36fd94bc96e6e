#include <gtest/gtest.h>

#include "xml/XmlDocument.h"

using namespace Zelvo;

TEST(XmlTree, FindOrCreateAndSearchOrder) {
    XmlDocument doc;
    doc.Reset("Root");
    XmlElement* root = doc.Root();
    ASSERT_NE(root, nullptr);
    XmlElement* a = root->FindChild("A", true);
    XmlElement* deep = a->FindChild("B", true);
    deep->Attribute("id", "2", true);
    XmlElement* b1 = root->FindChild("B", true);
    b1->Attribute("id", "1", true);

    // FindChild sees only direct children; FindDescendant walks in pre-order.
    EXPECT_EQ(root->FindChild("B", false), b1);
    EXPECT_EQ(root->FindDescendant("B", false), deep);
    EXPECT_EQ(root->FindDescendant("B", "id", "1", false), b1);
    EXPECT_EQ(root->FindDescendant("B", "id", nullptr, true), nullptr);
    XmlElement* created = root->FindDescendant("B", "id", "3", true);
    EXPECT_EQ(created->Parent(), root);
    EXPECT_EQ(root->ChildElements("B").size(), 2u);
    EXPECT_EQ(b1->NextSibling("B"), created);
    EXPECT_EQ(doc.FindElement("Root", nullptr, false), root);
    EXPECT_EQ(doc.FindElement("B", a, false), deep);
    XmlElement* missing = doc.FindElement("Z", a, true);
    EXPECT_EQ(missing->Parent(), a);

    // The walk from a childless node ends at once, without visiting its siblings.
    EXPECT_EQ(b1->NextInSubtree(b1), nullptr);
    EXPECT_EQ(deep->NextInSubtree(a), a->FirstChild()->NextSibling());

    XmlInstruction* pi = doc.FindInstruction("t", root, true);
    EXPECT_EQ(pi->Parent(), root);
    EXPECT_EQ(doc.FindInstruction(nullptr, nullptr, false), pi);

    doc.DeleteNode(a);
    EXPECT_EQ(root->FindDescendant("B", false), b1);
    doc.Clear();
    EXPECT_EQ(doc.Root(), nullptr);
}

TEST(XmlTree, CloneCopiesContentButNotChildren) {
    XmlElement e("E");
    e.SetText("t");
    e.SetTail("tail");
    e.SetFlag(1);
    e.Attribute("k", "v", true);
    e.AppendChild(new XmlComment("c"));
    XmlNode* copy = e.Clone();
    auto* c = static_cast<XmlElement*>(copy);
    EXPECT_TRUE(c->Name() == "E" && c->Text() == "t" && c->Tail() == "tail");
    EXPECT_EQ(c->Flag(), 1);
    EXPECT_EQ(c->AttributeCount(), 1);
    EXPECT_EQ(c->FirstChild(), nullptr);
    XmlNode::Destroy(copy);
    XmlNode::Destroy(e.FirstChild());
}

TEST(XmlAttributeValues, WritingNumbers) {
    XmlAttribute a("x");
    a.SetDouble(0.3);
    EXPECT_TRUE(a.Value() == "0.3");
    a.SetDouble(1e-5);
    EXPECT_TRUE(a.Value() == "1E-05");
    a.SetDouble(3.14159265358979);
    EXPECT_TRUE(a.Value() == "3.14159");
    a.SetDouble(1234567.0);
    EXPECT_TRUE(a.Value() == "1.23457E+06");
    a.SetInt(-12);
    EXPECT_TRUE(a.Value() == "-12");
}

TEST(XmlAttributeValues, ReadingWithDefaultsClampingAndWriteBack) {
    XmlElement e("E");
    XmlAttribute* x = e.Attribute("x", true);
    EXPECT_TRUE(x->Value() == "");
    EXPECT_EQ(x->ToInt(80, true, 0, 1000), 80);
    EXPECT_TRUE(x->Value() == "80");
    EXPECT_FALSE(x->WasValid(true));
    EXPECT_TRUE(x->WasValid(false));

    x->Set("-3");
    EXPECT_EQ(x->ToInt(5, false, 0, 1000), 0);
    EXPECT_FALSE(x->WasValid(false));
    EXPECT_TRUE(x->Value() == "-3");  // no write-back asked

    x->Set("12abc");
    EXPECT_EQ(x->ToInt(5, false, 0, 1000), 12);
    EXPECT_TRUE(x->WasValid(false));
    for (const char* v : {"600", "600.9", "6.009E+02"}) {
        x->Set(v);
        EXPECT_EQ(x->ToInt(0, false, 0, 1000), 600) << v;
    }
    x->Set("-0.5");  // truncation comes before clamping
    EXPECT_EQ(x->ToInt(7, false, 0, 10), 0);
    EXPECT_TRUE(x->WasValid(false));

    x->Set("7.5");
    EXPECT_DOUBLE_EQ(x->ToDouble(3, true, 1, 6), 6);
    EXPECT_TRUE(x->Value() == "6");
    EXPECT_FALSE(x->WasValid(false));

    x->Set("junk");
    EXPECT_DOUBLE_EQ(x->ToDouble(2.5, true, 0, 10), 2.5);
    EXPECT_TRUE(x->Value() == "2.5");
    x->Set("1e999");
    EXPECT_EQ(x->ToInt(1, false, 0, 100), 100);
    x->Set("-nan");
    EXPECT_EQ(x->ToInt(4, false, 0, 100), 4);
    EXPECT_FALSE(x->WasValid(false));

    x->Set("abc");
    EXPECT_EQ(x->ToInt(), 0);
    EXPECT_FALSE(x->WasValid(true));
    x->Set("-7.9");
    EXPECT_EQ(x->ToInt(), -7);
    EXPECT_DOUBLE_EQ(x->ToDouble(), -7.9);

    XmlAttribute* y = e.Attribute("y", true);
    EXPECT_TRUE(y->Value("dflt", false) == "dflt");
    EXPECT_TRUE(y->Value() == "");
    EXPECT_TRUE(y->Value("dflt", true) == "dflt");
    EXPECT_TRUE(y->Value() == "dflt");
    e.RemoveAttribute(x);
    EXPECT_EQ(e.AttributeCount(), 1);
    EXPECT_EQ(e.AttributeAt(0), y);
}
