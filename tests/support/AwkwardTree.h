#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The tree of awkward names that the interop tests upload to every server: nested folders, an
// empty file, blanks inside and at the start of names, accented names, a 200-character name,
// folders whose names begin with month abbreviations (or are one), a name that looks like a
// listing's date, and a file of several megabytes. For servers that offer UTF-8, names that no
// ANSI code page holds as well: Greek, Cyrillic, Chinese, a character beyond the BMP, and two
// names that differ only in such characters (both "?.txt" in an ANSI code page).
struct AwkwardFile {
    std::wstring path;  // below the tree's folder, components separated by "/"
    std::size_t size;
};
std::vector<AwkwardFile> AwkwardTree(bool utf8Names);

// `name` as a path of this platform: UTF-8 bytes off Windows, as the platform's file layer
// spells wide names on disk there.
std::filesystem::path NativePath(const std::wstring& name);

// Writes the tree's files below `folder`, each filled from its own path, so that a file that
// arrives under another file's name does not compare equal.
void WriteAwkwardTree(const std::filesystem::path& folder, const std::vector<AwkwardFile>& files);

}  // namespace testsupport
