#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <string>

#include "engine/ProjectStore.h"
#include "support/EngineFixture.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            QImage img(64 + 16 * i, 48, QImage::Format_RGB32);
            img.fill(qRgb(10 * i, 20, 30));
            std::string path = dir.filePath(QString("photo%1.png").arg(i)).toStdString();
            ASSERT_TRUE(img.save(QString::fromStdString(path)));
            images.push_back(path);
        }
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    // A project of three images with pair (0, 1) matched and (1, 2) holding points but f = 0.
    std::string SavedProject(const char* name) {
        PanoramaEngine engine;
        engine.SetGeneticSeed(5);
        XmlDocument doc;
        ProjectStore store(engine, doc);
        EXPECT_TRUE(store.Create(images)) << store.LastError();
        ImageCombination& pair = EngineFixture::PairAt(engine, 0);
        pair.matched = true;
        pair.P = {{10, 10}, {20, 30}, {40, 12}, {33, 40}, {5, 25}};
        for (const PointD& p : pair.P)
            pair.Q.push_back({p.x - 4, p.y + 1});
        pair.f = 1500.5;
        pair.omega = 0.01;
        pair.phi = -0.2;
        pair.kappa = 0.003;
        pair.error = 0.75;
        engine.SetProjectionType(ProjectionType::Planar);
        engine.SetVerticalCameraRotation(10 * std::numbers::pi / 180);
        engine.BuildOverlapHierarchyTrees();  // chooses the reference, as matching does
        EXPECT_TRUE(store.Save(Path(name)));
        EXPECT_FALSE(engine.IsDirty());
        return Path(name);
    }

    static std::string Bytes(const std::string& path) {
        Chars c;
        c.ReadFile(path.c_str());
        return std::string(c.Data(), static_cast<size_t>(c.Length()));
    }

    // Loads a project, lets edit change its document, saves it again with a fresh checksum.
    template <class Edit>
    std::string Edited(const std::string& path, const char* name, Edit edit) {
        XmlDocument doc;
        EXPECT_TRUE(LoadWithChecksum(doc, path.c_str()));
        edit(doc);
        EXPECT_TRUE(SaveWithChecksum(doc, Path(name).c_str()));
        return Path(name);
    }

    QTemporaryDir dir;
    std::vector<std::string> images;
};

}  // namespace

TEST_F(ProjectFile, SaveLoadSaveIsByteIdenticalAndKeepsTheData) {
    std::string first = SavedProject("a.vdp");
    PanoramaEngine engine;
    XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(first)) << store.LastError();
    EXPECT_FALSE(engine.IsDirty());
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Planar));
    EXPECT_NEAR(engine.GetVerticalCameraRotation(), 10 * std::numbers::pi / 180, 1e-6);
    ASSERT_EQ(engine.ImageCount(), 3);
    EXPECT_EQ(engine.Image(1).width, 80);  // from the file header
    EXPECT_EQ(engine.Image(1).height, 48);
    const ImageCombination& pair = engine.Combinations()[0];
    EXPECT_TRUE(pair.matched);
    EXPECT_EQ(pair.P.size(), 5u);
    EXPECT_NEAR(pair.f, 1500.5, 1e-9);
    EXPECT_NEAR(pair.phi, -0.2, 1e-12);
    // Transforms rebuilt from the parameters with each image's own centre.
    PointD c0{32, 24};
    double w = pair.forward(2, 0) * c0.x + pair.forward(2, 1) * c0.y + pair.forward(2, 2);
    EXPECT_TRUE(std::isfinite(w));
    EXPECT_FALSE(engine.Combinations()[1].matched);  // pairs without points are not written
    EXPECT_TRUE(engine.GetReferenceImagePath() == images[0].c_str() || engine.MainTree());
    ASSERT_TRUE(store.Save(Path("b.vdp")));
    EXPECT_EQ(Bytes(first), Bytes(Path("b.vdp")));
    EXPECT_EQ(Bytes(first).find("<Combination path1=\"" + images[1]), std::string::npos);

    XmlDocument written;
    ASSERT_TRUE(LoadWithChecksum(written, first.c_str()));
    XmlElement* panorama = written.FindElement("Panorama", nullptr, false);
    EXPECT_TRUE(panorama->Attribute("verticalCameraRotation", false)->Value() == "10");
    EXPECT_TRUE(panorama->Attribute("projectionType", false)->Value() == "planar");
    EXPECT_EQ(panorama->FindChild("Combinations", false)->ChildElements("Combination").size(), 1u);
    EXPECT_EQ(written.Root()->FirstChild()->NextSibling(), nullptr);  // Panorama is the last child
}

TEST_F(ProjectFile, ReadingRulesDefaultsRangesAndWriteBack) {
    std::string path = Edited(SavedProject("a.vdp"), "edited.vdp", [](XmlDocument& doc) {
        XmlElement* p = doc.FindElement("Panorama", nullptr, false);
        p->RemoveAttribute(p->Attribute("projectionType", false));
        p->Attribute("verticalCameraRotation", false)->Set("60");
        p->Attribute("featureExtractionImageSize", false)->Set("50000");
        p->Attribute("gamma", false)->Set("NaN");
        p->Attribute("panoramaImageSize", false)->Set("1e308");
    });
    PanoramaEngine engine;
    XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(path)) << store.LastError();
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Cylindrical));
    EXPECT_NEAR(engine.GetVerticalCameraRotation(), 0.785398, 1e-6);
    EXPECT_EQ(engine.GetFeatureExtractionImageSize(), 2000);
    EXPECT_EQ(engine.GetGamma(), 1);
    EXPECT_EQ(engine.GetPanoramaImageSize(), kMaxPanoramaSize);
    XmlElement* p = doc.FindElement("Panorama", nullptr, false);
    EXPECT_TRUE(p->Attribute("projectionType", false)->Value() == "cylindrical");
    EXPECT_TRUE(p->Attribute("verticalCameraRotation", false)->Value() == "45");
    ASSERT_TRUE(store.Save(Path("again.vdp")));
    XmlDocument again;
    ASSERT_TRUE(LoadWithChecksum(again, Path("again.vdp").c_str()));
    EXPECT_TRUE(again.FindElement("Panorama", nullptr, false)->Attribute("verticalCameraRotation", false)->Value() ==
                "45");
}

TEST_F(ProjectFile, PairsWithoutFocalLengthAreFittedAtLoad) {
    std::string path = Edited(SavedProject("a.vdp"), "f0.vdp", [](XmlDocument& doc) {
        doc.FindElement("Combination", nullptr, false)->Attribute("f", false)->Set("0");
    });
    PanoramaEngine engine;
    engine.SetGeneticSeed(5);
    XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(path)) << store.LastError();
    EXPECT_TRUE(engine.IsDirty());
    EXPECT_GT(engine.Combinations()[0].f, 0);
    EXPECT_LT(engine.Combinations()[0].error, 5);
}

TEST_F(ProjectFile, BadProjectsGiveMessagesAndANewProject) {
    std::string good = SavedProject("a.vdp");
    struct Case {
        const char* name;
        std::function<void(XmlDocument&)> edit;
        const char* expected;
    };
    const std::string missing = Path("gone.png");
    std::vector<Case> cases = {
        {"path2.vdp",
         [](XmlDocument& doc) {
             doc.FindElement("Combination", nullptr, false)->Attribute("path2", false)->Set("x.jpg");
         },
         "Bad image combination"},
        {"counts.vdp",
         [](XmlDocument& doc) {
             XmlElement* q = doc.FindElement("Combination", nullptr, false)->FindChild("Q", false);
             doc.DeleteNode(q->FirstChild());
         },
         "Bad image combination"},
        {"missing.vdp",
         [&](XmlDocument& doc) {
             doc.FindElement("Image", nullptr, false)->Attribute("path", false)->Set(missing.c_str());
         },
         "cannot read image"},
        {"nopath.vdp",
         [](XmlDocument& doc) {
             XmlElement* image = doc.FindElement("Image", nullptr, false);
             image->RemoveAttribute(image->Attribute("path", false));
         },
         "Bad image attribute"},
    };
    for (const Case& c : cases) {
        std::string path = Edited(good, c.name, c.edit);
        PanoramaEngine engine;
        XmlDocument doc;
        ProjectStore store(engine, doc);
        EXPECT_FALSE(store.Load(path)) << c.name;
        EXPECT_NE(store.LastError().find(c.expected), std::string::npos) << c.name << ": " << store.LastError();
        EXPECT_EQ(engine.ImageCount(), 0);
        EXPECT_FALSE(engine.IsDirty());
        EXPECT_NE(doc.FindElement("Images", nullptr, false), nullptr);  // a new project document
    }
    // A bad checksum and a truncated file are refused before anything is read.
    std::string bytes = Bytes(good);
    for (const std::string& damaged :
         {bytes.substr(0, bytes.size() / 2), bytes.substr(0, bytes.size() - 3) + "x\r\r", std::string("garbage")}) {
        Chars(damaged.data(), static_cast<int>(damaged.size())).WriteFile(Path("damaged.vdp").c_str());
        PanoramaEngine engine;
        XmlDocument doc;
        ProjectStore store(engine, doc);
        EXPECT_FALSE(store.Load(Path("damaged.vdp")));
        EXPECT_NE(store.LastError().find("could not be loaded"), std::string::npos);
    }
    // Absurd sizes in the in-memory document are refused by the reader itself.
    XmlDocument doc;
    ASSERT_TRUE(LoadWithChecksum(doc, good.c_str()));
    for (XmlElement* image : doc.FindElement("Images", nullptr, false)->ChildElements("Image")) {
        image->Attribute("w", true)->Set("-5");
        image->Attribute("h", true)->Set("48");
    }
    PanoramaEngine engine;
    EXPECT_FALSE(engine.ReadFrom(doc, "panorama"));
    EXPECT_EQ(engine.LastError(), "Bad image attribute");
    EXPECT_EQ(engine.ImageCount(), 0);
}

TEST_F(ProjectFile, AbsurdValuesNeverBreakTheReader) {
    std::string good = SavedProject("a.vdp");
    XmlDocument original;
    ASSERT_TRUE(LoadWithChecksum(original, good.c_str()));
    Chars text = Serialise(original);
    const char* absurd[] = {"",       "NaN",         "-nan", "inf",   "-1e308", "1e308",
                            "-5",     "0",           "abc",  "12abc", "1e-320", "99999999999999999999",
                            "planar", "/etc/passwd", "0.5"};
    std::mt19937 random(77);
    for (int round = 0; round < 300; ++round) {
        XmlDocument doc;
        ASSERT_TRUE(doc.Parse(text));
        // Give the images their sizes as a loaded project has them, then spoil some values.
        for (XmlElement* image : doc.FindElement("Images", nullptr, false)->ChildElements("Image")) {
            image->Attribute("w", true)->SetInt(64);
            image->Attribute("h", true)->SetInt(48);
        }
        std::vector<XmlAttribute*> attributes;
        for (XmlNode* n = doc.Root(); n; n = n->NextInSubtree(doc.Root()))
            if (XmlElement* e = AsElement(n))
                for (int k = 0; k < e->AttributeCount(); ++k)
                    attributes.push_back(e->AttributeAt(k));
        for (int edits = 0; edits < 4; ++edits)
            attributes[random() % attributes.size()]->Set(absurd[random() % (sizeof absurd / sizeof *absurd)]);
        PanoramaEngine engine;
        engine.SetGeneticSeed(3);
        bool loaded = engine.ReadFrom(doc, "panorama");
        if (!loaded) {
            EXPECT_FALSE(engine.LastError().empty());
            EXPECT_EQ(engine.ImageCount(), 0);
            continue;
        }
        for (const ImageCombination& pair : engine.Combinations()) {
            EXPECT_EQ(pair.P.size(), pair.Q.size());
            EXPECT_TRUE(std::isfinite(pair.f));
        }
        EXPECT_GE(engine.GetFeatureExtractionImageSize(), 200);
        EXPECT_LE(engine.GetFeatureExtractionImageSize(), 2000);
        EXPECT_TRUE(std::isfinite(engine.GetGamma()));
    }
}

TEST(LargeProject, LoadsAndTooLargeOnesAreRefusedByName) {
    auto document = [](XmlDocument& doc, int n) {
        doc.Reset("VedoraProject");
        XmlElement* panorama = doc.Root()->FindChild("Panorama", true);
        panorama->Attribute("name", true)->Set("panorama");
        XmlElement* images = panorama->FindChild("Images", true);
        for (int i = 0; i < n; ++i) {
            auto* image = new XmlElement("Image");
            images->AppendChild(image);
            image->Attribute("path", true)->Set(Chars::Format("p%05d.jpg", i));
            image->Attribute("w", true)->SetInt(400);
            image->Attribute("h", true)->SetInt(300);
        }
        XmlElement* pairs = panorama->FindChild("Combinations", true);
        for (int i = 0; i + 1 < n; ++i) {  // a row: every photograph matched with the next
            auto* pair = new XmlElement("Combination");
            pairs->AppendChild(pair);
            pair->Attribute("path1", true)->Set(Chars::Format("p%05d.jpg", i));
            pair->Attribute("path2", true)->Set(Chars::Format("p%05d.jpg", i + 1));
            pair->Attribute("f", true)->SetInt(400);
            for (const char* side : {"P", "Q"}) {
                auto* point = new XmlElement("Point");
                pair->FindChild(side, true)->AppendChild(point);
                point->Attribute("x", true)->SetInt(side[0] == 'P' ? 300 : 100);
                point->Attribute("y", true)->SetInt(150);
            }
        }
    };
    // A row of 600 photographs: the hierarchy spans them all (this took minutes when every
    // tree scanned every pair for every node).
    XmlDocument row;
    document(row, 600);
    PanoramaEngine engine;
    ASSERT_TRUE(engine.ReadFrom(row, "panorama")) << engine.LastError();
    ASSERT_NE(engine.MainTree(), nullptr);
    EXPECT_EQ(engine.MainTree()->DistinctImages().size(), 600u);
    EXPECT_EQ(engine.ImageTreeSize(17), 600);
    EXPECT_EQ(engine.ReferenceIndex(), 0);
    XmlDocument tooMany;
    document(tooMany, PanoramaEngine::kMaxImages + 1);
    EXPECT_FALSE(engine.ReadFrom(tooMany, "panorama"));
    EXPECT_EQ(engine.LastError(), "A project can hold at most 3000 photographs");
    EXPECT_EQ(engine.ImageCount(), 0);
}

TEST_F(ProjectFile, RelativePathsFollowTheProjectFolder) {
    // Photographs named relative to the current folder are written relative to the project's
    // folder, so the folder can move and the project opens from anywhere.
    QTemporaryDir outer;
    const QString root = outer.filePath("shoot");
    ASSERT_TRUE(QDir().mkpath(root + "/projects"));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(QFile::copy(QString::fromStdString(images[i]), root + QString("/p%1.png").arg(i)));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root));
    {
        PanoramaEngine engine;
        XmlDocument doc;
        ProjectStore store(engine, doc);
        ASSERT_TRUE(store.Create({"p0.png", "./p1.png", "/tmp/../" + images[2].substr(1)})) << store.LastError();
        engine.SetGeneticSeed(5);
        std::vector<PointD> a = {{10, 10}, {20, 30}, {40, 12}, {33, 40}, {5, 25}}, b;
        for (const PointD& p : a)
            b.push_back({p.x - 4, p.y + 1});
        ASSERT_TRUE(engine.SetCombinationPoints(0, 1, a, b));
        engine.SetReferenceImagePath("p1.png");
        ASSERT_TRUE(store.Save("projects/set.vdp")) << store.LastError();
        EXPECT_EQ(engine.Image(1).path, "p1.png");  // memory keeps the form it was given
    }
    const std::string written = Bytes((root + "/projects/set.vdp").toStdString());
    EXPECT_NE(written.find("path=\"../p0.png\""), std::string::npos) << written;
    EXPECT_NE(written.find("path=\"../p1.png\""), std::string::npos);
    EXPECT_NE(written.find("referenceImagePath=\"../p1.png\""), std::string::npos);
    EXPECT_NE(written.find("path=\"" + images[2] + "\""), std::string::npos);  // absolute stays absolute
    EXPECT_NE(written.find("path1=\"../p0.png\" path2=\"../p1.png\""), std::string::npos);

    // The whole folder moves; the project is opened from another current folder.
    const QString moved = outer.filePath("moved");
    ASSERT_TRUE(QDir().rename(root, moved));
    ASSERT_TRUE(QDir::setCurrent(outer.path()));
    PanoramaEngine engine;
    XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load("moved/projects/set.vdp")) << store.LastError();
    EXPECT_EQ(engine.Image(0).path, "moved/p0.png");
    EXPECT_EQ(engine.Image(1).width, 80);
    EXPECT_TRUE(engine.GetReferenceImagePath() == "moved/p1.png");
    EXPECT_TRUE(engine.Combination(0, 1)->matched);
    ASSERT_TRUE(store.Save("moved/projects/again.vdp"));
    EXPECT_EQ(Bytes((moved + "/projects/again.vdp").toStdString()), written);
    QDir::setCurrent(before);
}
