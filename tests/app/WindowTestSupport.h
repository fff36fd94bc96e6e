#pragma once

// Opening the main window the way the program does, with scripted prompts and the settings
// file in a folder of the test's own.
#include <QString>
#include <QTextEdit>

#include <memory>

#include "app/MainWindow.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "xml/XmlDocument.h"

struct TestWindow {
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<MainWindow> window;
    MainWindow& operator*() { return *window; }
    MainWindow* operator->() { return window.get(); }
};

// executablePath decides where the settings live: beside it when its folder is writable.
inline TestWindow OpenWindow(const QString& executablePath, const Zelvo::Chars& project = Zelvo::Chars()) {
    auto prompts = std::make_unique<ScriptedPrompts>();
    TestWindow t;
    t.prompts = prompts.get();
    t.window = std::make_unique<MainWindow>(project, std::move(prompts), executablePath);
    t.window->RestoreGeometry();
    return t;
}

// A settings file as the program would read it: the text is saved with its checksum.
inline bool WriteSettings(const QString& path, const char* xml) {
    Zelvo::XmlDocument document;
    return document.Parse(xml) && Zelvo::SaveWithChecksum(document, path.toUtf8().constData());
}

inline Zelvo::Chars Attr(Zelvo::XmlElement* element, const char* name) {
    Zelvo::XmlAttribute* a = element ? element->Attribute(name, false) : nullptr;
    return a ? a->Value() : Zelvo::Chars("<missing>");
}

// What the window's status log shows.
inline QString LogOf(TestWindow& w) { return MainWindowFixture::Frame(*w).m_statusTextEdit->toPlainText(); }
