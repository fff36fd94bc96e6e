#pragma once

// A window with rendered photographs, for the project page's tests: the photographs are
// rendered once per test program; each test works in a folder of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "support/RenderedViews.h"
#include "view/GuiBitmap.h"

// Six small photographs of the world, 25 degrees apart: 320 x 240 at f = 300.
inline const RenderedViews& Photographs() {
    static RenderedViews views([] {
        std::vector<render::ViewSpec> specs;
        for (int k = 0; k < 6; ++k)
            specs.push_back(View(-60 + 25 * k, 0, 0, 300, 320, 240));
        return specs;
    }());
    return views;
}

inline QString Photo(size_t k) { return QString::fromStdString(Photographs().Path(k)); }

inline QStringList Photos(std::initializer_list<size_t> indices) {
    QStringList files;
    for (size_t k : indices)
        files << Photo(k);
    return files;
}

// The photographs copied into folder, so a test may change or remove them.
inline QStringList CopyPhotos(const QString& folder, std::initializer_list<size_t> indices) {
    QStringList files;
    for (size_t k : indices) {
        QString target = folder + QString("/view%1.jpg").arg(k);
        QFile::copy(Photo(k), target);
        files << target;
    }
    return files;
}

inline QStringList Rows(QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

inline QStringList ImageRows(MainWindow& w) { return Rows(MainWindowFixture::ProjectPage(w).m_xmlListWidget); }

inline QString LogText(MainWindow& w) { return MainWindowFixture::Frame(w).m_statusTextEdit->toPlainText(); }

inline QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Adds photographs through the "Load image(s)..." button with the file dialog's answer.
inline void AddPhotos(TestWindow& w, const QStringList& files) {
    w.prompts->AnswerOpenFiles(files);
    MainWindowFixture::ProjectPage(*w).m_loadImagesButton->click();
}

// A window whose settings live in dir, showing.
inline TestWindow ShownWindow(QTemporaryDir& dir, const Zelvo::Chars& project = Zelvo::Chars()) {
    TestWindow w = OpenWindow(dir.filePath("vedora"), project);
    w->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    return w;
}

inline std::vector<PointD> Points(std::initializer_list<PointD> list) { return std::vector<PointD>(list); }
