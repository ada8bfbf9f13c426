#include "Orvane/engine/tasks/TaskResult.h"

#include <gtest/gtest.h>

namespace {

TEST(TaskResult, SucceedsOnlyWithoutErrorAndWithAClassTwoReply) {
    struct Row {
        std::uint32_t errorCode;
        int replyCode;
        bool succeeded;
    };
    const Row rows[] = {
        {0, 200, true},  {0, 299, true},   {0, 199, false}, {0, 300, false},
        {0, 20, false},  {0, -250, false}, {995, 200, false}, {10060, 226, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.errorCode << " / " << row.replyCode);
        CTaskResult result(row.errorCode, FTPReply{row.replyCode, L""}, {});
        EXPECT_EQ(result.Succeeded(), row.succeeded);
    }
    EXPECT_TRUE(CTaskResult().Succeeded());  // what a task starts with: 200, no error
}

}  // namespace
