#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <cstdio>

#include "app/UserPrompts.h"

// The window's questions answered without dialogs for the window benchmarks: the prepared
// files, Yes to standard questions, "Don't save" where it is offered (unless dontSave is
// false, then the escape answer), messages printed to stderr.
class BenchPrompts : public UserPrompts {
public:
    QStringList openFiles;
    QString saveFile;
    bool dontSave = true;

    int Ask(Kind, const QString&, const QString&, const QStringList& buttons, int, int escape) override {
        const int index = dontSave ? static_cast<int>(buttons.indexOf("Don't save")) : -1;
        return index >= 0 ? index : escape;
    }
    QMessageBox::StandardButton AskStandard(Kind, const QString&, const QString&, QMessageBox::StandardButtons,
                                            QMessageBox::StandardButton) override {
        return QMessageBox::Yes;
    }
    void Inform(const QString&, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void Warn(const QString&, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    QString ChooseOpenFile(const QString&, const QString&, const QString&) override { return QString(); }
    QStringList ChooseOpenFiles(const QString&, const QString&, const QString&) override { return openFiles; }
    QString ChooseSaveFile(const QString&, const QString&, const QString&) override { return saveFile; }
    int RunDialog(QDialog&) override { return QDialog::Rejected; }
};
