#pragma once
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Registry.h"

namespace storetest {

// The registries the shared cases run against: always the in-memory one, and on Windows also the
// process's real registry, so that the in-memory one is checked against the real thing.
enum class Backend { Memory, System };

std::vector<Backend> AllBackends();
std::string BackendTestName(const testing::TestParamInfo<Backend>& param);

// A registry for one test. For the system registry the keys the tests use are removed first and
// again at the end.
class TestRegistry {
public:
    explicit TestRegistry(Backend backend);
    ~TestRegistry();
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    platform::Registry& Get() { return *m_registry; }
    Backend backend() const { return m_backend; }

private:
    void RemoveTestKeys();

    Backend m_backend;
    std::unique_ptr<platform::Registry> m_owned;
    platform::Registry* m_registry = nullptr;
};

// The key path below the user hive that the generic registry cases work in.
inline const std::wstring kSandboxPath = L"Software\\OrvaneTests\\Sandbox";

}  // namespace storetest
