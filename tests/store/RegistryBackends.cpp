#include "tests/store/RegistryBackends.h"

#include "platform/memory/MemoryRegistry.h"

namespace storetest {

std::vector<Backend> AllBackends() {
#ifdef _WIN32
    return {Backend::Memory, Backend::System};
#else
    return {Backend::Memory};  // off Windows the system registry is an in-memory one as well
#endif
}

std::string BackendTestName(const testing::TestParamInfo<Backend>& param) {
    return param.param == Backend::Memory ? "Memory" : "System";
}

TestRegistry::TestRegistry(Backend backend) : m_backend(backend) {
    if (backend == Backend::Memory) {
        m_owned = std::make_unique<platform::MemoryRegistry>();
        m_registry = m_owned.get();
    } else {
        m_registry = &platform::SystemRegistry();
    }
    RemoveTestKeys();
}

TestRegistry::~TestRegistry() { RemoveTestKeys(); }

void TestRegistry::RemoveTestKeys() {
    m_registry->DeleteTree(platform::Hive::CurrentUser, L"Software\\OrvaneTests");
    m_registry->DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
    m_registry->DeleteTree(platform::Hive::LocalMachine, L"Software\\Telmora");
    m_registry->DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
}

}  // namespace storetest
