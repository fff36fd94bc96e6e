#include "app/SettingsDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

using Zelvo::XmlElement;

int ReadInt(XmlElement* element, const char* name, int defaultValue, int min, int max) {
    return element->Attribute(name, true)->ToInt(defaultValue, true, min, max);
}

void WriteInt(XmlElement* element, const char* name, int value) { element->Attribute(name, true)->SetInt(value); }

// Whether a file can be created in the folder: tried for real, because permission bits say
// nothing about read-only file systems and mean little to root.
bool FolderIsWritable(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + "/.vedora-write-test-XXXXXX");
    return probe.open();
}

QString HomeWithForwardSlashes() {
    QString home = QDir::homePath();
    home.replace('\\', '/');
    return home;
}

}  // namespace

QString SettingsFilePath(const QString& executablePath) {
    QFileInfo executable(executablePath);
    QString fileName = executable.completeBaseName() + ".xml";
    QString folder = executable.absolutePath();
    if (FolderIsWritable(folder))
        return folder + "/" + fileName;
    QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + "/.config/vedora";
    return config + "/" + fileName;
}

void SettingsDocument::Load(const QString& filePath) {
    path = filePath;
    QFileInfo file(path);
    // A directory, a FIFO or a device in the file's place would block or fail the read; an
    // oversized file is no settings file of ours.
    bool readable = file.isFile() && file.size() <= kMaxSettingsFileBytes;
    bool valid = readable && Zelvo::LoadWithChecksum(document, QFile::encodeName(path).constData());
    if (valid) {
        XmlElement* first = document.FindElement("Vedora", nullptr, false);
        valid = first && first == document.Root();
    }
    if (!valid)
        MakeFresh();
}

void SettingsDocument::MakeFresh() {
    document.Reset("Vedora");
    Root()->Attribute("Version", true)->SetInt(1);
    Section("Projects")->Attribute("currentPath", true)->Set(HomeWithForwardSlashes().toUtf8().constData());
}

bool SettingsDocument::Save() const {
    if (path.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return Zelvo::SaveWithChecksum(document, QFile::encodeName(path).constData());
}

XmlElement* SettingsDocument::Section(const char* name) { return Root()->FindChild(name, true); }

XmlElement* SettingsDocument::MainWindowElement() { return document.FindElement("MainWindow", nullptr, true); }

WindowPlacement SettingsDocument::ReadWindowPlacement() {
    XmlElement* e = MainWindowElement();
    WindowPlacement p;
    p.y = ReadInt(e, "y", 80, 0, 1000);
    p.x = ReadInt(e, "x", 80, 0, 1000);
    p.h = ReadInt(e, "h", 650, 150, 4096);
    p.w = ReadInt(e, "w", 850, 150, 4096);
    return p;
}

void SettingsDocument::WritePlacement(const WindowPlacement& p) {
    XmlElement* e = MainWindowElement();
    WriteInt(e, "x", p.x);
    WriteInt(e, "y", p.y);
    WriteInt(e, "w", p.w);
    WriteInt(e, "h", p.h);
}

// The smallest pane size is the default: a pane never starts narrower than the program's own
// first layout.
SplitterSizes SettingsDocument::ReadSplitterSizes() {
    XmlElement* e = MainWindowElement();
    SplitterSizes s;
    s.s2 = ReadInt(e, "s2", 100, 100, 2048);
    s.s1 = ReadInt(e, "s1", 220, 220, 2048);
    s.s4 = ReadInt(e, "s4", 100, 100, 2048);
    s.s3 = ReadInt(e, "s3", 200, 200, 2048);
    return s;
}

void SettingsDocument::WriteSplitterSizes(const SplitterSizes& s) {
    XmlElement* e = MainWindowElement();
    WriteInt(e, "s1", s.s1);
    WriteInt(e, "s2", s.s2);
    WriteInt(e, "s3", s.s3);
    WriteInt(e, "s4", s.s4);
}

TextureLimits SettingsDocument::ReadTextureLimits() {
    XmlElement* e = Section("MaxTextureSizes");
    TextureLimits t;
    t.sourceImages = ReadInt(e, "sourceImages", 512, 256, 2048);
    t.imagePair = ReadInt(e, "imagePair", 1024, 256, 2048);
    t.stitchImage = ReadInt(e, "stitchImage", 1024, 256, 2048);
    t.cropImage = ReadInt(e, "cropImage", 2048, 256, 2048);
    return t;
}

void SettingsDocument::WriteTextureLimits(const TextureLimits& t) {
    XmlElement* e = Section("MaxTextureSizes");
    WriteInt(e, "sourceImages", t.sourceImages);
    WriteInt(e, "imagePair", t.imagePair);
    WriteInt(e, "stitchImage", t.stitchImage);
    WriteInt(e, "cropImage", t.cropImage);
}

PointMarkerStyle SettingsDocument::ReadPointMarkers() {
    XmlElement* e = Section("PointMarkers");
    PointMarkerStyle m;
    m.size = ReadInt(e, "size", 4, 2, 10);
    m.thickness = ReadInt(e, "thickness", 1, 1, 5);
    return m;
}

void SettingsDocument::WritePointMarkers(const PointMarkerStyle& m) {
    XmlElement* e = Section("PointMarkers");
    WriteInt(e, "size", m.size);
    WriteInt(e, "thickness", m.thickness);
}

QString SettingsDocument::ProjectsFolder() {
    Zelvo::XmlAttribute* current = Section("Projects")->Attribute("currentPath", false);
    if (!current || current->Value().IsEmpty())
        return HomeWithForwardSlashes() + "/";
    return QString::fromUtf8(current->Value().c_str());
}
