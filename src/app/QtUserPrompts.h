#pragma once

#include <QPointer>
#include <QWidget>

#include "app/UserPrompts.h"

// The prompts of the running program: Qt's message boxes and file dialogs over a parent window.
class QtUserPrompts : public UserPrompts {
public:
    explicit QtUserPrompts(QWidget* parent = nullptr) : parent(parent) {}

    int Ask(Kind kind, const QString& title, const QString& text, const QStringList& buttons, int defaultIndex,
            int escapeIndex) override;
    QMessageBox::StandardButton AskStandard(Kind kind, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) override;
    void Inform(const QString& title, const QString& text) override;
    void Warn(const QString& title, const QString& text) override;
    QString ChooseOpenFile(const QString& title, const QString& folder, const QString& filter) override;
    QStringList ChooseOpenFiles(const QString& title, const QString& folder, const QString& filter) override;
    QString ChooseSaveFile(const QString& title, const QString& folder, const QString& filter) override;
    int RunDialog(QDialog& dialog) override;

private:
    QPointer<QWidget> parent;
};
