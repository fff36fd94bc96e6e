#pragma once

#include <QFile>
#include <QImageReader>
#include <QString>

// An image file opened for decoding. A path comes as a QString (from the window) or as the
// bytes the file system uses (a command-line argument, a path stored in a project). A byte
// name that a QString cannot hold exactly, one that is not valid UTF-8, is opened by its
// bytes and handed to Qt as an open file; every other name goes the QString way. Only
// regular files are opened: a pipe would block the decoder and a device would never end.
class ImageSource {
public:
    explicit ImageSource(const QString& path);
    explicit ImageSource(const char* path);
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;

    bool IsOpen() const { return open; }
    QImageReader& Reader() { return reader; }
    // After decoding: whether the file is JPEG, BMP or GIF data cut short (which decode, the
    // missing rows filled with gray or left as the memory held them).
    bool IsTruncated();

private:
    void OpenByName(const QString& path);
    void OpenByBytes(const char* path);

    QFile file;
    QImageReader reader;
    bool open = false;
};

// Whether a QString holds exactly these bytes, so that Qt opens the same file they name.
bool NameSurvivesQString(const char* path);

// The file name's suffix after its last '.', in lower case ASCII ("" when there is none).
QByteArray LowerSuffix(const char* path);
