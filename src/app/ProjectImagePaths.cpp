#include "app/ProjectImagePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

Zelvo::Chars AbsolutePath(const Zelvo::Chars& path) {
    if (path.IsEmpty())
        return path;
    QString text = QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(path.c_str())));
    text.replace('\\', '/');
    return Zelvo::Chars(QFile::encodeName(text).constData());
}

Zelvo::Chars FolderWithSlash(const QString& file) {
    QString folder = QFileInfo(file).absolutePath() + "/";
    folder.replace('\\', '/');
    return ToChars(folder);
}
