#pragma once

// The window's prompts driven by a script: each question is answered by the next scripted
// answer of the same kind, in order. A question that the script does not expect fails the
// test and gets the cautious answer (the escape button, Cancel, no file).
#include <gtest/gtest.h>

#include <QDialog>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/UserPrompts.h"

class ScriptedPrompts : public UserPrompts {
public:
    enum class Call { Ask, AskStandard, Inform, Warn, OpenFile, OpenFiles, SaveFile, Dialog };

    // What the window asked, for the test to check.
    struct Seen {
        Call call;
        QString title;
        QString text;
        QStringList buttons;
    };

    // Press the button with this text.
    void AnswerAsk(const QString& button) { Push(Call::Ask).text = button; }
    void AnswerStandard(QMessageBox::StandardButton button) { Push(Call::AskStandard).standard = button; }
    void ExpectInform() { Push(Call::Inform); }
    void ExpectWarn() { Push(Call::Warn); }
    void AnswerOpenFile(const QString& file) { Push(Call::OpenFile).text = file; }
    void AnswerOpenFiles(const QStringList& files) { Push(Call::OpenFiles).files = files; }
    void AnswerSaveFile(const QString& file) { Push(Call::SaveFile).text = file; }
    // The dialog is handed to inspect (when given) and then "closed" with the result.
    void AnswerDialog(int result, std::function<void(QDialog&)> inspect = {}) {
        Expected& e = Push(Call::Dialog);
        e.result = result;
        e.inspect = std::move(inspect);
    }

    size_t Pending() const { return script.size(); }
    const std::vector<Seen>& History() const { return seen; }
    const Seen& Last() const { return seen.back(); }

    int Ask(Kind, const QString& title, const QString& text, const QStringList& buttons, int,
            int escapeIndex) override {
        seen.push_back({Call::Ask, title, text, buttons});
        Expected e;
        if (!Next(Call::Ask, e))
            return escapeIndex;
        int index = static_cast<int>(buttons.indexOf(e.text));
        if (index < 0) {
            ADD_FAILURE() << "no button '" << e.text.toStdString() << "' in: " << text.toStdString();
            return escapeIndex;
        }
        return index;
    }
    QMessageBox::StandardButton AskStandard(Kind, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons, QMessageBox::StandardButton) override {
        seen.push_back({Call::AskStandard, title, text, {}});
        Expected e;
        return Next(Call::AskStandard, e) ? e.standard : QMessageBox::Cancel;
    }
    void Inform(const QString& title, const QString& text) override {
        seen.push_back({Call::Inform, title, text, {}});
        Expected e;
        Next(Call::Inform, e);
    }
    void Warn(const QString& title, const QString& text) override {
        seen.push_back({Call::Warn, title, text, {}});
        Expected e;
        Next(Call::Warn, e);
    }
    QString ChooseOpenFile(const QString& title, const QString& folder, const QString&) override {
        seen.push_back({Call::OpenFile, title, folder, {}});
        Expected e;
        return Next(Call::OpenFile, e) ? e.text : QString();
    }
    QStringList ChooseOpenFiles(const QString& title, const QString& folder, const QString&) override {
        seen.push_back({Call::OpenFiles, title, folder, {}});
        Expected e;
        return Next(Call::OpenFiles, e) ? e.files : QStringList();
    }
    // The file types offered are kept as the call's buttons.
    QString ChooseSaveFile(const QString& title, const QString& folder, const QString& filter) override {
        seen.push_back({Call::SaveFile, title, folder, filter.split(";;")});
        Expected e;
        return Next(Call::SaveFile, e) ? e.text : QString();
    }
    int RunDialog(QDialog& dialog) override {
        seen.push_back({Call::Dialog, dialog.windowTitle(), dialog.objectName(), {}});
        Expected e;
        if (!Next(Call::Dialog, e))
            return QDialog::Rejected;
        if (e.inspect)
            e.inspect(dialog);
        return e.result;
    }

private:
    struct Expected {
        Call call = Call::Ask;
        QString text;
        QStringList files;
        QMessageBox::StandardButton standard = QMessageBox::NoButton;
        int result = QDialog::Rejected;
        std::function<void(QDialog&)> inspect;
    };

    Expected& Push(Call call) {
        script.emplace_back();
        script.back().call = call;
        return script.back();
    }

    bool Next(Call call, Expected& out) {
        if (script.empty() || script.front().call != call) {
            ADD_FAILURE() << "unexpected prompt: " << seen.back().text.toStdString();
            return false;
        }
        out = std::move(script.front());
        script.pop_front();
        return true;
    }

    std::deque<Expected> script;
    std::vector<Seen> seen;
};
