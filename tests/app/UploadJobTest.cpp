// Building a job from a hand-off: the first entry of a local path wins, the sending order is
// ordinal and case-sensitive, and the total is the sum of what stayed, in full.
#include "Orvane/app/UploadJob.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

UploadFileEntry Entry(std::wstring path, std::wstring folder, std::uint64_t size) {
    std::wstring name = path.substr(path.rfind(L'\\') + 1);
    return {std::move(path), std::move(name), std::move(folder), size};
}

std::vector<std::wstring> Order(const UploadJob& job) {
    std::vector<std::wstring> keys;
    for (const auto& [key, entry] : job.files) keys.push_back(key);
    return keys;
}

TEST(UploadJob, SamePathTwiceKeepsTheFirstEntryAndCountsItOnce) {
    UploadJob job;
    EXPECT_TRUE(job.AddFile(Entry(L"C:\\base\\a\\f.txt", L"a", 100)));
    EXPECT_FALSE(job.AddFile(Entry(L"C:\\base\\a\\f.txt", L"b\\c", 999)));
    ASSERT_EQ(job.files.size(), 1u);
    EXPECT_EQ(job.files.at(L"C:\\base\\a\\f.txt").relativeFolder, L"a");
    EXPECT_EQ(job.files.at(L"C:\\base\\a\\f.txt").size, 100u);
    EXPECT_EQ(job.totalBytes, 100);
}

TEST(UploadJob, KeysSortByCodeUnitsWithCaseMattering) {
    UploadJob job;
    job.AddFile(Entry(L"C:\\b\\readme.txt", L"", 1));
    job.AddFile(Entry(L"C:\\b\\README.txt", L"", 2));
    job.AddFile(Entry(L"C:\\b\\_x", L"", 3));
    job.AddFile(Entry(L"C:\\b\\\u00e9t\u00e9", L"", 4));
    job.AddFile(Entry(L"C:\\b\\Zeta", L"", 5));
    // "R" and "Z" (0x52, 0x5A) before "_" (0x5F) before "r" (0x72) before "é" (0xE9).
    EXPECT_EQ(Order(job), (std::vector<std::wstring>{L"C:\\b\\README.txt", L"C:\\b\\Zeta", L"C:\\b\\_x",
                                                     L"C:\\b\\readme.txt", L"C:\\b\\\u00e9t\u00e9"}));
    EXPECT_EQ(job.totalBytes, 15);
}

TEST(UploadJob, TotalCountsPastFourGiB) {
    UploadJob job;
    job.AddFile(Entry(L"C:\\big1", L"", 0xF0000000u));
    job.AddFile(Entry(L"C:\\big2", L"", 0x120000000u));
    EXPECT_EQ(job.totalBytes, 0x210000000);
}

}  // namespace
