#pragma once

#include <QObject>
#include <QString>

#include "xml/XmlDocument.h"

// The window's frame as stored: the frame's top-left corner and the window's size.
struct WindowPlacement {
    int x = 80, y = 80, w = 850, h = 650;
};

// Pane sizes of the two splitters: s1, s2 of the horizontal one (pages, view) and s3, s4 of
// the vertical one (pages, status log).
struct SplitterSizes {
    int s1 = 220, s2 = 100, s3 = 200, s4 = 100;
};

// Largest texture edge of each kind of picture in the view.
struct TextureLimits {
    int sourceImages = 512, imagePair = 1024, stitchImage = 1024, cropImage = 2048;
};

struct PointMarkerStyle {
    int size = 4, thickness = 1;
};

// Settings files larger than this are not read: a real one holds a few hundred projects at
// most, and reading gigabytes at start-up would only stall the window.
constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;
// How much of a damaged settings file is searched for its projects.
constexpr qint64 kMaxRecoveredBytes = 256 * 1024 * 1024;

// Where the settings of the program at executablePath live: beside the executable, named after
// its complete base name with ".xml", when that folder can be written (a portable install);
// otherwise the same file name in the user's configuration folder, because an installed
// program cannot write beside itself and would lose every setting at each exit.
QString SettingsFilePath(const QString& executablePath);

// The user's settings: an XML document with root Vedora, read with the file checksum. Every
// read creates what is missing and writes back the value actually used, so that the saved
// file always holds a complete, in-range set.
class SettingsDocument {
public:
    // Loads the file; a missing one (or a folder or device in its place) gives a fresh
    // document. A file that exists but is damaged (fails the checksum, is cut off, oversized,
    // has other line endings or another root) is kept beside itself as
    // "<name>.damaged-YYYYMMDD-HHMMSS" and what still parses of it is recovered: the whole
    // document where it parses as settings, otherwise the project list's entries found in its
    // text. LoadNotice() then says so.
    void Load(const QString& filePath);
    // What the user should be told once about the last Load(); empty when the file was whole
    // or missing.
    const QString& LoadNotice() const { return notice; }
    // Writes the document with its checksum, creating the folder when needed. False when the
    // file could not be written; the caller decides whether that is worth a word.
    bool Save() const;

    const QString& FilePath() const { return path; }
    Zelvo::XmlDocument& Document() { return document; }
    Zelvo::XmlElement* Root() const { return document.Root(); }
    // The root's child of that name, created when missing.
    Zelvo::XmlElement* Section(const char* name);
    // The element MainWindow among the root and its descendants, created under the root.
    Zelvo::XmlElement* MainWindowElement();

    // Reads y, x, h, w in that order.
    WindowPlacement ReadWindowPlacement();
    void WritePlacement(const WindowPlacement& placement);
    // Reads s2, s1, s4, s3 in that order.
    SplitterSizes ReadSplitterSizes();
    void WriteSplitterSizes(const SplitterSizes& sizes);
    TextureLimits ReadTextureLimits();
    void WriteTextureLimits(const TextureLimits& limits);
    PointMarkerStyle ReadPointMarkers();
    void WritePointMarkers(const PointMarkerStyle& style);

    // Projects/currentPath, or the user's home directory with a trailing "/" when it is missing.
    QString ProjectsFolder();

private:
    void MakeFresh();
    // The damaged file's copy beside it; empty when none could be made.
    QString KeepDamagedCopy() const;
    // Fills the document from what parses of the damaged file; the projects recovered.
    int Recover();

    QString path;
    QString notice;
    mutable Zelvo::XmlDocument document;
};
