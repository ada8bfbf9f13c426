#include "tests/support/AwkwardTree.h"

#include <fstream>

#include "platform/TextCodec.h"

namespace testsupport {

std::vector<AwkwardFile> AwkwardTree(bool utf8Names) {
    std::vector<AwkwardFile> files = {
        {L"empty file", 0},
        {L" leading blank.txt", 11},
        {L"  two leading blanks.txt", 12},
        {L"inner  two  blanks.txt", 13},
        {L"caf\u00e9 \u00e9.txt", 14},
        {L"\u00dcn\u00ef \u00e7\u00f6d\u00e9 folder/\u20ac price.txt", 15},
        {std::wstring(196, L'n') + L".txt", 16},
        {L"Jan 2024 reports/notes.txt", 17},
        {L"Marketing/plan.txt", 18},
        {L"May plans/Dec  5  2019 not a date.txt", 19},
        {L"Mar/x", 20},
        {L" leading folder/inside.txt", 21},
        {L"a/b/c/deep.bin", 8192 * 3 + 1},
        {L"only empty/empty.txt", 0},
        {L"big file.bin", 3 << 20},
    };
    if (utf8Names)
        files.insert(files.end(), {{L"\u03a9.txt", 22},
                                   {L"\u0416.txt", 23},
                                   {L"\u4e2d\u6587 folder/\u65e5\u672c\u8a9e.txt", 24},
                                   {L"emoji \U0001F600.txt", 25}});
    return files;
}

std::filesystem::path NativePath(const std::wstring& name) {
#ifdef _WIN32
    return std::filesystem::path(name);
#else
    return std::filesystem::path(platform::ToAnsi(name, platform::CodePage::Utf8));
#endif
}

void WriteAwkwardTree(const std::filesystem::path& folder, const std::vector<AwkwardFile>& files) {
    for (const AwkwardFile& file : files) {
        const std::filesystem::path path = folder / NativePath(file.path);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        const std::string seed = platform::ToAnsi(file.path, platform::CodePage::Utf8);
        for (std::size_t i = 0; i < file.size; ++i) out.put(static_cast<char>(seed[i % seed.size()] + i / seed.size()));
    }
}

}  // namespace testsupport
