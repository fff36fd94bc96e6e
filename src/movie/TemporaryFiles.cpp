#include "movie/TemporaryFiles.h"

#include <QFile>
#include <QTemporaryFile>

QString TemporaryFiles::Create(const QString& name) {
    QTemporaryFile file(folder + "/vedora-XXXXXX-" + name);
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    QString path = file.fileName();
    paths << path;
    return path;
}

void TemporaryFiles::RemoveAll() {
    for (const QString& path : paths)
        QFile::remove(path);
    paths.clear();
}
