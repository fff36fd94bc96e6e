#include "render/JsonParse.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>

namespace render {

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// Columns count characters as an editor shows them: a UTF-8 continuation byte adds none.
std::string LineAndColumn(const std::string& text, size_t offset) {
    int line = 1, column = 1;
    for (size_t k = 0; k < std::min(offset, text.size()); ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

[[noreturn]] void FailAt(const std::string& text, const QJsonParseError& error) {
    const size_t offset = static_cast<size_t>(std::max(0, static_cast<int>(error.offset)));
    throw JsonError("malformed JSON at " + LineAndColumn(text, offset) + " (byte offset " + std::to_string(offset) +
                    "): " + error.errorString().toStdString());
}

std::string WholeFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw JsonError(path + ": cannot be read");
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw JsonError(path + ": cannot be read");
    return bytes.toStdString();
}

}  // namespace

QJsonValue ParseJson(const std::string& text) {
    // Qt calls an empty text an "illegal value"; a file that was never written deserves better.
    if (IsBlank(text))
        throw JsonError("empty text, where a JSON object was expected");
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (error.error != QJsonParseError::NoError)
        FailAt(text, error);
    if (document.isArray())
        return document.array();
    return document.object();
}

QJsonValue ReadJsonFile(const std::string& path) {
    const std::string text = WholeFile(path);
    try {
        return ParseJson(text);
    } catch (const JsonError& e) {
        throw JsonError(path + ": " + e.what());
    }
}

}  // namespace render
