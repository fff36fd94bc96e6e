#include <gtest/gtest.h>

#include <random>
#include <string>

#include "CharsString.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

const char* kRealistic =
    "<!DOCTYPE VedoraProject>\r<!-- made by hand -->\r<VedoraProject version=\"1\">\r"
    "<Panorama projectionType=\"spherical\" featureExtractionImageSize=\"600\" fit='0.5'/>\r"
    "<Images>\r<Image path=\"a/b&amp c.jpg\" rotation=\"0\" w=\"1600\" h=\"1200\"/>\r"
    "<Image path='x&apos;y.jpg'/>\r</Images>\r<Combinations>\r"
    "<Combination path1=\"a\" path2=\"b\" f=\"1400\">\r<![CDATA[1 2 3]]>\r<?pi data?>\r</Combination>\r"
    "</Combinations>\rtext a&ltb\n</VedoraProject>\r";

// The document must be empty or hold exactly one root, and every link must be consistent.
void ExpectConsistent(const XmlDocument& doc, bool parsed) {
    if (!parsed) {
        EXPECT_EQ(doc.FirstNode(), nullptr);
        return;
    }
    int roots = 0;
    for (XmlNode* top = doc.FirstNode(); top; top = top->NextSibling()) {
        EXPECT_EQ(top->Parent(), nullptr);
        if (top->Type() == XmlNode::ElementNode)
            ++roots;
        for (XmlNode* n = top; n; n = n->NextInSubtree(top))
            for (XmlNode* c = n->FirstChild(); c; c = c->NextSibling())
                EXPECT_EQ(c->Parent(), n);
    }
    EXPECT_EQ(roots, 1);
}

}  // namespace

TEST(XmlWriter, LineBreaksEscapesAndLostTexts) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kRealistic));
    std::string out = Str(Serialise(doc));
    EXPECT_EQ(out, kRealistic);  // already in the writer's own layout, apart from the entity forms below

    doc.Reset("r");
    XmlElement* r = doc.Root();
    XmlElement* child = r->FindChild("c", true);
    child->SetText("lost");  // an element without children is written without its text
    child->SetTail("a<b & c>d");
    r->SetText("\nfirst");
    r->Attribute("d", true)->Set("q\"'<>&");
    XmlAttribute single("s", "q\"'<>&", '\'');
    r->AddAttribute(single);
    child = r->FindChild("n", true);
    child->SetTail("x\n\ry");
    EXPECT_EQ(Str(Serialise(doc)),
              "<r d=\"q&quot'&lt&gt&amp\" s='q\"&apos&lt&gt&amp'>\nfirst<c/>\ra&ltb &amp c>d<n/>\rx\ry</r>\r");
}

TEST(XmlWriter, CDataWithTerminatorThrows) {
    XmlDocument doc;
    doc.Reset("r");
    doc.Root()->AppendChild(new XmlCData("a]]>b"));
    try {
        Serialise(doc);
        FAIL() << "no exception";
    } catch (const Chars& message) {
        EXPECT_TRUE(message == "CDATA section must not contain a \"]]>\" substring");
    }
}

TEST(XmlRobustness, TruncatedAndMutatedInputNeverBreaksTheDocument) {
    std::string base = kRealistic;
    XmlDocument doc;
    for (size_t cut = 0; cut <= base.size(); ++cut) {
        bool ok = doc.Parse(Chars(base.data(), static_cast<int>(cut)));
        ExpectConsistent(doc, ok);
    }
    std::mt19937 random(20261209);
    const char alphabet[] = "<>/?!-=\"' \r\n\t&[]aDCTYPEO;";
    for (int round = 0; round < 4000; ++round) {
        std::string text = base;
        int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % text.size();
            switch (random() % 4) {
            case 0: text[at] = alphabet[random() % (sizeof alphabet - 1)]; break;
            case 1: text.erase(at, 1 + random() % 8); break;
            case 2: text.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]); break;
            default: text[at] = static_cast<char>(random() % 255 + 1); break;
            }
            if (text.empty())
                text = "<";
        }
        bool ok = doc.Parse(Chars(text.data(), static_cast<int>(text.size())));
        ExpectConsistent(doc, ok);
        if (ok) {
            try {
                Serialise(doc);
            } catch (const Chars&) {
                // only a CDATA holding "]]>" may refuse, and mutation can make one
            }
        }
    }
}
