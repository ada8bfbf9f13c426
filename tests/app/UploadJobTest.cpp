// Building a job from a hand-off: the first entry of a local path wins and counts once.
#include "Orvane/app/UploadJob.h"

#include <gtest/gtest.h>

namespace {

TEST(UploadJob, SamePathTwiceKeepsTheFirstEntryAndCountsItOnce) {
    UploadJob job;
    EXPECT_TRUE(job.AddFile({L"C:\\base\\a\\f.txt", L"f.txt", L"a", 100}));
    EXPECT_FALSE(job.AddFile({L"C:\\base\\a\\f.txt", L"f.txt", L"b\\c", 999}));
    ASSERT_EQ(job.files.size(), 1u);
    EXPECT_EQ(job.files.at(L"C:\\base\\a\\f.txt").relativeFolder, L"a");
    EXPECT_EQ(job.files.at(L"C:\\base\\a\\f.txt").size, 100u);
    EXPECT_EQ(job.totalBytes, 100);
}

}  // namespace
