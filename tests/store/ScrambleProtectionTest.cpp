// The stand-in for the data-protection API: the store's "damaged blob reads as empty" rests on
// it refusing every damaged blob, so that rule is tested off Windows too.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/memory/ScrambleProtection.h"

using platform::ProtectionScope;
using platform::ScrambleProtection;

namespace {

const std::vector<std::uint8_t> kClear = {'p', 0, 'a', 0, 's', 0, 's', 0, 0xE4, 0, ' ', 0, 'w', 0};

TEST(ScrambleProtection, RoundTripsInBothScopesWithoutHoldingTheClearBytes) {
    ScrambleProtection protection;
    for (const ProtectionScope scope : {ProtectionScope::User, ProtectionScope::Machine}) {
        SCOPED_TRACE(scope == ProtectionScope::User ? "user" : "machine");
        const auto blob = protection.Protect(kClear, scope);
        ASSERT_TRUE(blob.has_value());
        EXPECT_EQ(std::search(blob->begin(), blob->end(), kClear.begin(), kClear.begin() + 4), blob->end());
        EXPECT_EQ(protection.Unprotect(*blob), kClear);
    }
    const auto empty = protection.Protect({}, ProtectionScope::User);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(protection.Unprotect(*empty), std::vector<std::uint8_t>());
}

TEST(ScrambleProtection, RefusesEveryFlippedBitAndEveryTruncation) {
    ScrambleProtection protection;
    const std::vector<std::uint8_t> blob = *protection.Protect(kClear, ProtectionScope::Machine);
    for (std::size_t at = 0; at < blob.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            SCOPED_TRACE(testing::Message() << "byte " << at << " bit " << bit);
            std::vector<std::uint8_t> damaged = blob;
            damaged[at] ^= static_cast<std::uint8_t>(1u << bit);
            EXPECT_EQ(protection.Unprotect(damaged), std::nullopt);
        }
    }
    for (std::size_t length = 0; length < blob.size(); ++length) {
        SCOPED_TRACE(testing::Message() << "first " << length << " bytes");
        EXPECT_EQ(protection.Unprotect(std::span(blob).first(length)), std::nullopt);
    }
    std::vector<std::uint8_t> longer = blob;
    longer.push_back(0);
    EXPECT_EQ(protection.Unprotect(longer), std::nullopt);
}

}  // namespace
