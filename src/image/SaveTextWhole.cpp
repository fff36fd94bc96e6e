#include "image/SaveTextWhole.h"

#include "image/PartialFile.h"

bool SaveTextWhole(const std::string& text, const std::string& path, std::string* why) {
    PartialFile file;
    return file.Create(path, why) && file.Append(text.data(), text.size(), why) && file.Commit({}, why);
}
