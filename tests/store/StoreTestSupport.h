#pragma once
#include <memory>

#include "platform/DataProtection.h"
#include "platform/memory/ScrambleProtection.h"
#include "store/DestinationStore.h"
#include "tests/store/RegistryBackends.h"

namespace storetest {

// A store over one backend: the in-memory registry with the stand-in protection, or (on Windows)
// the real registry with the real data-protection API.
class StoreTest : public testing::TestWithParam<Backend> {
protected:
    platform::Registry& Registry() { return m_registry.Get(); }
    platform::DataProtection& Protection() {
        return GetParam() == Backend::System ? platform::SystemDataProtection() : m_scramble;
    }
    DestinationStore Store() { return DestinationStore(Registry(), Protection()); }

    std::unique_ptr<platform::RegistryKey> UserStoreKey() {
        return Registry().Create(platform::Hive::CurrentUser, kDestinationsPath);
    }
    std::unique_ptr<platform::RegistryKey> MachineStoreKey() {
        return Registry().Create(platform::Hive::LocalMachine, kDestinationsPath);
    }
    void SetPlainMode(bool plain) {
        auto options = Registry().Create(platform::Hive::CurrentUser, kDestinationsPath + L"\\Options");
        ASSERT_NE(options, nullptr);
        ASSERT_TRUE(options->Write(L"SkipDPAPI", {platform::RegistryType::kDword, {plain ? std::uint8_t{1} : std::uint8_t{0}, 0, 0, 0}}));
    }

    TestRegistry m_registry{GetParam()};
    platform::ScrambleProtection m_scramble;
};

}  // namespace storetest
