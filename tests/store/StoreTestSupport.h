#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/DataProtection.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/ScrambleProtection.h"
#include "store/DestinationStore.h"

namespace storetest {

// In memory with the stand-in protection; on Windows also the real registry and data protection.
enum class Backend { Memory, System };

#ifdef _WIN32
inline const auto kBackends = testing::Values(Backend::Memory, Backend::System);
#else
inline const auto kBackends = testing::Values(Backend::Memory);  // off Windows the system registry is in memory too
#endif

inline std::string BackendName(const testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Memory ? "Memory" : "System";
}

// One backend per run; the keys the tests use are removed before and after.
class StoreTest : public testing::TestWithParam<Backend> {
protected:
    StoreTest() { RemoveTestKeys(); }
    ~StoreTest() override { RemoveTestKeys(); }

    platform::Registry& Registry() {
        return GetParam() == Backend::System ? platform::SystemRegistry() : m_memory;
    }
    platform::DataProtection& Protection() {
        return GetParam() == Backend::System ? platform::SystemDataProtection() : m_scramble;
    }
    DestinationStore Store() { return DestinationStore(Registry(), Protection()); }
    std::unique_ptr<platform::RegistryKey> UserStoreKey() {
        return Registry().Create(platform::Hive::CurrentUser, kDestinationsPath);
    }

private:
    void RemoveTestKeys() {
        Registry().DeleteTree(platform::Hive::CurrentUser, L"Software\\OrvaneTests");
        Registry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
        Registry().DeleteTree(platform::Hive::LocalMachine, L"Software\\Telmora");
        Registry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    }

    platform::MemoryRegistry m_memory;
    platform::ScrambleProtection m_scramble;
};

}  // namespace storetest
