#include "platform/File.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"

namespace {

namespace fs = std::filesystem;
using platform::File;

template <class Action>
int ErrorOf(Action action) {
    try {
        action();
    } catch (int code) {
        return code;
    }
    return -1;
}

std::string ReadWhole(File& file) {
    std::string all;
    std::vector<char> chunk(8192);
    for (int guard = 0; guard < 100000; ++guard) {
        std::size_t n = platform::Read(file, chunk);
        if (n == 0) break;
        all.append(chunk.data(), n);
    }
    return all;
}

// A fresh folder per test, removed afterwards.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        m_folder = fs::temp_directory_path() /
                   ("orvane-file-" + std::to_string(random()) + "-" + std::to_string(random()));
        fs::create_directories(m_folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    // Joined as text: off Windows, std::filesystem would narrow a wide name with the C
    // locale's code page, which cannot hold most names.
    std::wstring PathOf(const std::wstring& name) const {
        return m_folder.wstring() + static_cast<wchar_t>(fs::path::preferred_separator) + name;
    }

    fs::path m_folder;
};

// ---- reading and writing ----

TEST_F(FileTest, WrittenBytesReadBackInChunksWithTheirSize) {
    std::string data;
    for (int i = 0; i < 8192 * 3 + 1; ++i) data += static_cast<char>(i * 7);
    {
        File out = platform::CreateForWriting(PathOf(L"data.bin"));
        platform::WriteAll(out, data);
    }
    File in = platform::OpenForReading(PathOf(L"data.bin"));
    EXPECT_EQ(platform::SizeOf(in), data.size());
    std::vector<char> chunk(8192);
    std::vector<std::size_t> sizes;
    std::string back;
    for (std::size_t n; (n = platform::Read(in, chunk)) != 0 && sizes.size() < 10;) {
        sizes.push_back(n);
        back.append(chunk.data(), n);
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{8192, 8192, 8192, 1}));
    EXPECT_EQ(back, data);
}

TEST_F(FileTest, CreatingAnExistingFileEmptiesIt) {
    {
        File out = platform::CreateForWriting(PathOf(L"a.txt"));
        platform::WriteAll(out, std::string("a longer first text"));
    }
    {
        File out = platform::CreateForWriting(PathOf(L"a.txt"));
        platform::WriteAll(out, std::string("short"));
    }
    File in = platform::OpenForReading(PathOf(L"a.txt"));
    EXPECT_EQ(ReadWhole(in), "short");
}

TEST_F(FileTest, EmptyFileReadsAsZeroAtOnce) {
    platform::CreateForWriting(PathOf(L"empty"));
    File in = platform::OpenForReading(PathOf(L"empty"));
    EXPECT_EQ(platform::SizeOf(in), 0u);
    char buffer[16];
    EXPECT_EQ(platform::Read(in, buffer), 0u);
}

TEST_F(FileTest, NamesOutsideAsciiWork) {
    const std::wstring name = L"r\u00E9sum\u00E9 \u4E2D\u6587.txt";
    {
        File out = platform::CreateForWriting(PathOf(name));
        platform::WriteAll(out, std::string("x"));
    }
    EXPECT_TRUE(fs::exists(m_folder / fs::path(u8"r\u00E9sum\u00E9 \u4E2D\u6587.txt")));  // stored as UTF-8 off Windows
    File in = platform::OpenForReading(PathOf(name));
    EXPECT_EQ(ReadWhole(in), "x");
}

// ---- failures carry Windows numbers ----

TEST_F(FileTest, MissingFileAndMissingFolderAreToldApart) {
    EXPECT_EQ(ErrorOf([&] { platform::OpenForReading(PathOf(L"missing.txt")); }),
              platform::kErrorFileNotFound);
    EXPECT_EQ(ErrorOf([&] { platform::OpenForReading(PathOf(L"no-folder/missing.txt")); }),
              platform::kErrorPathNotFound);
    EXPECT_EQ(ErrorOf([&] { platform::CreateForWriting(PathOf(L"no-folder/new.txt")); }),
              platform::kErrorPathNotFound);
}

TEST_F(FileTest, FolderCannotBeOpenedAsAFile) {
    fs::create_directory(m_folder / "sub");
    EXPECT_EQ(ErrorOf([&] { platform::OpenForReading(PathOf(L"sub")); }), platform::kErrorAccessDenied);
    EXPECT_EQ(ErrorOf([&] { platform::CreateForWriting(PathOf(L"sub")); }), platform::kErrorAccessDenied);
}

// ---- sharing: readers share with readers only ----

TEST_F(FileTest, FileHeldOpenForWritingCannotBeOpenedForReading) {
    File writer = platform::CreateForWriting(PathOf(L"busy.txt"));
    EXPECT_EQ(ErrorOf([&] { platform::OpenForReading(PathOf(L"busy.txt")); }),
              platform::kErrorSharingViolation);
    writer.Close();
    EXPECT_EQ(ErrorOf([&] { platform::OpenForReading(PathOf(L"busy.txt")); }), -1);
}

TEST_F(FileTest, ReadersShareButKeepWritersOut) {
    platform::CreateForWriting(PathOf(L"shared.txt"));
    File first = platform::OpenForReading(PathOf(L"shared.txt"));
    File second = platform::OpenForReading(PathOf(L"shared.txt"));
    EXPECT_TRUE(second.IsOpen());
    EXPECT_EQ(ErrorOf([&] { platform::CreateForWriting(PathOf(L"shared.txt")); }),
              platform::kErrorSharingViolation);
}

TEST_F(FileTest, MoveAssignmentClosesTheFileItReplaces) {
    File held = platform::CreateForWriting(PathOf(L"one.txt"));
    platform::WriteAll(held, std::string("1"));
    platform::CreateForWriting(PathOf(L"two.txt"));
    held = platform::OpenForReading(PathOf(L"two.txt"));
    File one = platform::OpenForReading(PathOf(L"one.txt"));  // no longer held for writing
    EXPECT_EQ(ReadWhole(one), "1");
    EXPECT_EQ(ReadWhole(held), "");
}

}  // namespace
