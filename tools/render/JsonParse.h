#pragma once

// The tools' files (ground truth, cameras files) are JSON read by Qt's parser. What this adds
// is the error a person can act on: where the text went wrong, in lines and columns, and one
// exception type that every reader of the tools throws.
#include <QJsonValue>

#include <stdexcept>
#include <string>

namespace render {

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole text as one JSON object or array (surrounding white space allowed). Throws
// JsonError "malformed JSON at line L, column C (byte offset B): what" on malformed input.
// When a key repeats, Qt keeps the last value given.
QJsonValue ParseJson(const std::string& text);

// The whole file parsed; errors begin with the path. Throws JsonError.
QJsonValue ReadJsonFile(const std::string& path);

}  // namespace render
