#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CharsString.h"
#include "support/TempFolder.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

std::string FileBytes(const std::string& path) {
    Chars c;
    EXPECT_TRUE(c.ReadFile(path.c_str()));
    return Str(c);
}

// Values a user can give a project: file names with entity-like text, markup bytes, both
// quotes and non-ASCII names.
std::vector<std::string> AwkwardValues() {
    std::vector<std::string> values;
    std::string printable;
    for (int c = 0x20; c < 0x7F; ++c) {
        values.push_back(std::string(1, static_cast<char>(c)));
        printable += static_cast<char>(c);
    }
    values.push_back(printable);
    for (const char* v : {"a&gt.jpg", "a&lt.jpg", "&amp", "&lt", "&gt;", "&quot", "&apos", "&ampgt", "&amplt",
                          "&ampamp", "&&amp;&", "<&>\"'", "x&gt&lt&amp&quot&apos;y", "&", "&a", "\t tab\nline\r",
                          "C:/fotky/\xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88.jpg",
                          "\xE2\x82\xAC&gt\xE2\x82\xAC", "\xF0\x9F\x93\xB7 &lt photo"})
        values.push_back(v);
    return values;
}

}  // namespace

TEST(XmlRoundTrip, AttributeValuesReadBackByteForByte) {
    TempFolder temp;
    std::string path = temp.Path("values.vdp");
    std::vector<std::string> values = AwkwardValues();
    XmlDocument doc;
    doc.Reset("VedoraProject");
    XmlElement* images = doc.Root()->FindChild("Images", true);
    for (size_t i = 0; i < values.size(); ++i) {
        XmlElement* image = new XmlElement("Image");
        images->AppendChild(image);
        image->Attribute("path", true)->Set(Chars(values[i].data(), static_cast<int>(values[i].size())));
        image->AddAttribute(XmlAttribute("single", Chars(values[i].data(), static_cast<int>(values[i].size())), '\''));
    }
    ASSERT_TRUE(SaveWithChecksum(doc, path.c_str()));

    XmlDocument loaded;
    ASSERT_TRUE(LoadWithChecksum(loaded, path.c_str()));
    std::vector<XmlElement*> read = loaded.FindElement("Images", nullptr, false)->ChildElements("Image");
    ASSERT_EQ(read.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(Str(read[i]->Attribute("path", false)->Value()), values[i]) << "double-quoted value " << i;
        EXPECT_EQ(Str(read[i]->Attribute("single", false)->Value()), values[i]) << "single-quoted value " << i;
    }
    // What was read saves to the same bytes.
    std::string again = temp.Path("again.vdp");
    ASSERT_TRUE(SaveWithChecksum(loaded, again.c_str()));
    EXPECT_EQ(FileBytes(again), FileBytes(path));
}

TEST(XmlRoundTrip, ElementTextsReadBackByteForByte) {
    XmlDocument doc;
    doc.Reset("r");
    std::vector<std::string> values = AwkwardValues();
    for (const std::string& v : values) {
        auto* e = new XmlElement("e");
        doc.Root()->AppendChild(e);
        // Texts start with a line break so that the writer adds none of its own.
        e->SetText(Chars(("\r" + v).data(), static_cast<int>(v.size() + 1)));
        e->AppendChild(new XmlElement("c"));
        e->SetTail(Chars(("\r" + v).data(), static_cast<int>(v.size() + 1)));
    }
    XmlDocument loaded;
    ASSERT_TRUE(loaded.Parse(Serialise(doc)));
    std::vector<XmlElement*> read = loaded.Root()->ChildElements("e");
    ASSERT_EQ(read.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(Str(read[i]->Text()), "\r" + values[i]) << i;
        // The last tail runs up to the end tag of the root.
        EXPECT_EQ(Str(read[i]->Tail()), "\r" + values[i]) << i;
    }
}

// Character data after the root element is the root's tail: it is kept, so what the writer
// wrote there survives a reload and the next save. Trailing comments and instructions stay
// nodes; markup the reader does not know still ends the document quietly.
TEST(XmlRoundTrip, TextAfterTheRootSurvivesReload) {
    TempFolder temp;
    XmlDocument doc;
    doc.Reset("r");
    doc.Root()->SetTail("after the root &amp <tag> \xC3\xA9");
    std::string first = temp.Path("first.vdp"), second = temp.Path("second.vdp");
    ASSERT_TRUE(SaveWithChecksum(doc, first.c_str()));
    XmlDocument loaded;
    ASSERT_TRUE(LoadWithChecksum(loaded, first.c_str()));
    EXPECT_EQ(Str(loaded.Root()->Tail()),
              "\rafter the root &amp <tag> \xC3\xA9");  // the writer's CR comes first
    ASSERT_TRUE(SaveWithChecksum(loaded, second.c_str()));
    EXPECT_EQ(FileBytes(second), FileBytes(first));

    ASSERT_TRUE(loaded.Parse("<r></r>trailing"));
    EXPECT_EQ(Str(loaded.Root()->Tail()), "trailing");
    ASSERT_TRUE(loaded.Parse("<r/>\r\n<!-- c -->\n<?pi x?>  \n"));
    XmlNode* comment = loaded.Root()->NextSibling();
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->Type(), XmlNode::CommentNode);
    EXPECT_EQ(Str(comment->Tail()), "\n");
    ASSERT_NE(comment->NextSibling(), nullptr);
    EXPECT_EQ(Str(comment->NextSibling()->Tail()), "  \n");
    EXPECT_EQ(Str(Serialise(loaded)),
              "<r/>\r\n<!-- c -->\n<?pi x?>\r  \n");  // a CR where no line break follows
    ASSERT_TRUE(loaded.Parse("<r/>tail<!BOGUS>lost"));
    EXPECT_EQ(Str(loaded.Root()->Tail()), "tail");
    EXPECT_EQ(loaded.Root()->NextSibling(), nullptr);
}

// Texts are written with LF CR as CR. A run of LFs before a CR goes with it, so what the writer
// wrote loads and saves back to the same bytes (once the writer kept an LF there, and the next
// save turned it and the CR into a CR).
TEST(XmlRoundTrip, LineFeedRunsBeforeACarriageReturnSaveBackAlike) {
    XmlDocument doc;
    doc.Reset("r");
    doc.Root()->SetText("\ra\n\n\rb\n\n\n\rc\n\nd\n\r");
    doc.Root()->AppendChild(new XmlElement("c"));
    doc.Root()->FirstChild()->SetTail("\n\n\n");
    Chars written = Serialise(doc);
    EXPECT_EQ(Str(written), "<r>\ra\rb\rc\n\nd\r<c/>\n\n\n</r>\r");
    XmlDocument reread;
    ASSERT_TRUE(reread.Parse(written));
    EXPECT_EQ(Str(Serialise(reread)), Str(written));
}
