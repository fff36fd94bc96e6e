#include "app/SettingsDocument.h"

#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "dialogs/TextureLimitRange.h"
#include "xml/XmlElement.h"

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

// The value of attribute name="..." inside one element's text, XML escapes undone; empty
// when it is missing or not closed.
QByteArray AttributeValue(const QByteArray& element, const char* name) {
    const QByteArray key = QByteArray(" ") + name + "=\"";
    const qsizetype start = element.indexOf(key);
    if (start < 0)
        return QByteArray();
    const qsizetype from = start + key.size();
    const qsizetype end = element.indexOf('"', from);
    if (end < 0)
        return QByteArray();
    QByteArray value = element.mid(from, end - from);
    value.replace("&quot;", "\"").replace("&apos;", "'").replace("&lt;", "<").replace("&gt;", ">");
    return value.replace("&amp;", "&");
}

// The project list's entries that a damaged file still holds whole, each <Project .../> with
// its name and path, into projects; the entries added. A scan of the text, not a parse: a file
// cut off or with a byte changed no longer parses as a whole.
int RecoverProjectEntries(const QByteArray& text, XmlElement* projects) {
    int recovered = 0;
    for (qsizetype at = text.indexOf("<Project "); at >= 0; at = text.indexOf("<Project ", at + 1)) {
        const qsizetype end = text.indexOf('>', at);
        if (end < 0)
            break;
        const QByteArray element = text.mid(at, end - at);
        const QByteArray item = AttributeValue(element, "item"), file = AttributeValue(element, "path");
        if (item.isEmpty() || file.isEmpty())
            continue;
        auto* entry = new XmlElement("Project");
        projects->AppendChild(entry);
        entry->Attribute("item", true)->Set(item.constData());
        entry->Attribute("path", true)->Set(file.constData());
        ++recovered;
    }
    const qsizetype list = text.indexOf("<Projects ");
    if (list >= 0) {
        const qsizetype end = text.indexOf('>', list);
        const QByteArray folder = end < 0 ? QByteArray() : AttributeValue(text.mid(list, end - list), "currentPath");
        if (!folder.isEmpty())
            projects->Attribute("currentPath", true)->Set(folder.constData());
    }
    return recovered;
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
    notice.clear();
    QFileInfo file(path);
    // A directory, a FIFO or a device in the file's place would block or fail the read and is
    // nothing to keep.
    if (!file.isFile()) {
        MakeFresh();
        return;
    }
    bool valid =
        file.size() <= kMaxSettingsFileBytes && Zelvo::LoadWithChecksum(document, QFile::encodeName(path).constData());
    if (valid) {
        XmlElement* first = document.FindElement("Vedora", nullptr, false);
        valid = first && first == document.Root();
    }
    if (valid)
        return;
    // One changed byte must not cost the user the list of their projects: the file is kept,
    // and what of it still reads is taken over.
    const QString copy = KeepDamagedCopy();
    const int projects = Recover();
    const QString kept =
        copy.isEmpty() ? QObject::tr("no copy of it could be kept") : QObject::tr("it is kept as %1").arg(copy);
    notice = QObject::tr("The settings file %1 was damaged; %2. %3 of its projects were recovered.")
                 .arg(path, kept)
                 .arg(projects);
}

QString SettingsDocument::KeepDamagedCopy() const {
    const QString stem = path + ".damaged-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString copy = stem;
    for (int k = 2; QFileInfo::exists(copy) && k < 100; ++k)
        copy = stem + "-" + QString::number(k);
    return QFile::copy(path, copy) ? copy : QString();
}

int SettingsDocument::Recover() {
    QFile file(path);
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.read(std::min(file.size(), kMaxRecoveredBytes));
    text.replace("\r\n", "\n");
    // The checksum line goes first: what follows is the document it no longer matches.
    if (text.startsWith("<?XmlFileChecksum")) {
        const qsizetype end = text.indexOf("?>");
        text = end < 0 ? QByteArray() : text.mid(end + 2);
    }
    if (document.Parse(Zelvo::Chars(text.constData(), static_cast<int>(text.size()))) && document.Root() &&
        document.Root()->Name() == "Vedora") {
        // The values are checked as they are read, like those of a whole file.
        return static_cast<int>(Section("Projects")->ChildElements("Project").size());
    }
    MakeFresh();
    return RecoverProjectEntries(text, Section("Projects"));
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
    t.sourceImages = ReadInt(e, "sourceImages", 512, kMinTextureLimit, kMaxTextureLimit);
    t.imagePair = ReadInt(e, "imagePair", 1024, kMinTextureLimit, kMaxTextureLimit);
    t.stitchImage = ReadInt(e, "stitchImage", 1024, kMinTextureLimit, kMaxTextureLimit);
    t.cropImage = ReadInt(e, "cropImage", 2048, kMinTextureLimit, kMaxTextureLimit);
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
