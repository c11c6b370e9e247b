// SPDX-License-Identifier: MIT
// A path as the system takes it, kept apart by its type from the text it is made from.
// A drive's designation (designation.h) is what the drive list shows, escapes and all;
// it becomes a SystemPath once, by directoryNamedBy(), and every call that reaches the
// file system takes a SystemPath, so that the one cannot be handed over for the other.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace quvo::runtime {

class SystemPath {
public:
    SystemPath() = default;
    explicit SystemPath(std::string path)
        : path_(std::move(path))
    {
    }

    const std::string& text() const { return path_; }
    bool empty() const { return path_.empty(); }

    friend bool operator==(const SystemPath&, const SystemPath&) = default;

private:
    std::string path_;
};

// A directory's path as directoryNamedBy() gives it, ending where a name follows, and a
// file name: the file of that name in the directory.
inline SystemPath operator+(const SystemPath& directory, std::string_view name)
{
    std::string path;
    path.reserve(directory.text().size() + name.size());
    path += directory.text();
    path += name;
    return SystemPath(std::move(path));
}

} // namespace quvo::runtime
