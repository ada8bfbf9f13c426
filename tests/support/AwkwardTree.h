#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The tree of awkward names that the interop tests upload to every server; with `utf8Names`
// also names that no ANSI code page holds (two of them both "?.txt" in one).
struct AwkwardFile {
    std::wstring path;  // below the tree's folder, components separated by "/"
    std::size_t size;
};
std::vector<AwkwardFile> AwkwardTree(bool utf8Names);
// UTF-8 bytes off Windows, as the platform's file layer spells it.
std::filesystem::path NativePath(const std::wstring& name);

// Writes the files below `folder`, each filled from its own path: one that arrives under another's
// name does not compare equal.
void WriteAwkwardTree(const std::filesystem::path& folder, const std::vector<AwkwardFile>& files);

}  // namespace testsupport
