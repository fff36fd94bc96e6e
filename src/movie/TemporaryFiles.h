#pragma once

#include <QString>
#include <QStringList>

// Files in a temporary folder made with unique names (so two running programs never write to
// the same one) and deleted when this goes away, whatever way a procedure ends.
class TemporaryFiles {
public:
    explicit TemporaryFiles(QString folder) : folder(std::move(folder)) {}
    ~TemporaryFiles() { RemoveAll(); }
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;

    // Creates an empty file named "vedora-XXXXXX-" + name in the folder (the X's made unique)
    // and returns its path; empty when it cannot be created.
    QString Create(const QString& name);
    void RemoveAll();
    const QStringList& Paths() const { return paths; }

private:
    QString folder;
    QStringList paths;
};
