// The extension's own registration script, applied to and removed from a registry: the entries
// the file manager and the uploader's presence check rely on, and nothing more.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <iterator>

#include "OrvaneShellExt/ExtensionRegistration.h"
#include "OrvaneShellExt/RegistryScript.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace {

const std::wstring kClsid = L"{3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}";
const std::wstring kDescription = L"Orvane Context Menu Shell Extension";
const std::wstring kModule = L"C:\\Program Files\\O'Neil\\OrvaneShellExt.dll";

std::wstring ShippedScript() {
    std::ifstream file(testsupport::SourceDir() / "OrvaneShellExt" / "ShellExtContextMenu.rgs");
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    return std::wstring(bytes.begin(), bytes.end());
}

// The tree below `key`, one line per value as "path\name=data" and per key without values or
// subkeys as "path\"; sorted.
void Dump(const platform::RegistryKey& key, const std::wstring& path, std::set<std::wstring>& lines) {
    for (const std::wstring& name : key.ValueNames())
        lines.insert(path + L"\\" + (name.empty() ? L"@" : name) + L"=" +
                     platform::ReadString(key, name, 4096).value_or(L"?"));
    const auto subkeys = key.SubkeyNames();
    if (!path.empty() && subkeys.empty() && key.ValueNames().empty()) lines.insert(path + L"\\");
    for (const std::wstring& name : subkeys)
        if (auto subkey = key.Open(name, platform::Access::Read)) Dump(*subkey, path + L"\\" + name, lines);
}

class Registration : public testing::Test {
protected:
    // The machine's classes, or the user's (HKEY_CURRENT_USER\Software\Classes).
    std::set<std::wstring> Classes(bool user = false) {
        std::set<std::wstring> lines;
        if (auto key = user ? registry.Open(platform::Hive::CurrentUser, L"Software\\Classes", platform::Access::Read)
                            : registry.Root(platform::Hive::ClassesRoot))
            Dump(*key, L"", lines);
        return lines;
    }
    void Put(const std::wstring& path, const std::wstring& data = L"x") {
        auto key = registry.Create(platform::Hive::ClassesRoot, path);
        ASSERT_TRUE(key && platform::WriteString(*key, L"", data));
    }

    platform::MemoryRegistry registry;
    const RegistryScript script = ParseRegistryScript(ShippedScript(), kModule).value();
};

const std::wstring kProgId = L"\\OrvaneShellExt.ShellExtContextMenu";
const std::wstring kClassKey = L"\\CLSID\\" + kClsid;
const std::set<std::wstring> kRegistered = {
    kProgId + L".1\\@=" + kDescription,
    kProgId + L".1\\CLSID\\@=" + kClsid,
    kProgId + L"\\@=" + kDescription,
    kProgId + L"\\CLSID\\@=" + kClsid,
    kProgId + L"\\CurVer\\@=OrvaneShellExt.ShellExtContextMenu.1",
    kClassKey + L"\\@=" + kDescription,
    kClassKey + L"\\ProgID\\@=OrvaneShellExt.ShellExtContextMenu.1",
    kClassKey + L"\\VersionIndependentProgID\\@=OrvaneShellExt.ShellExtContextMenu",
    kClassKey + L"\\Programmable\\",
    kClassKey + L"\\InprocServer32\\@=" + kModule,
    kClassKey + L"\\InprocServer32\\ThreadingModel=Apartment",
    L"\\*\\Shellex\\ContextMenuHandlers\\OrvaneShellExt\\@=" + kClsid,
    L"\\Folder\\Shellex\\ContextMenuHandlers\\OrvaneShellExt\\@=" + kClsid,
};

TEST_F(Registration, UnregisteringRemovesOursAndKeepsSharedAndForeignKeys) {
    EXPECT_TRUE(UnregisterScript(script, registry));
    EXPECT_TRUE(Classes().empty());  // nothing there, nothing created

    Put(L"CLSID\\{00000000-0000-0000-0000-000000000001}");
    Put(L"*\\Shellex\\ContextMenuHandlers\\Other");
    Put(L"Folder\\Shellex\\PropertySheetHandlers\\Other");
    Put(L"OrvaneShellExt.ShellExtContextMenu\\Foreign");
    std::set<std::wstring> expected = Classes();
    ASSERT_TRUE(RegisterScript(script, registry));
    ASSERT_TRUE(UnregisterScript(script, registry));
    // A listed key with a subkey the script does not know stays, without our values below it.
    expected.insert({L"\\Folder\\Shellex\\ContextMenuHandlers\\", kProgId + L"\\@=" + kDescription});
    EXPECT_EQ(Classes(), expected);
}

// A standard user, or an administrator without elevation, may not write the machine's classes.
TEST_F(Registration, RefusedMachineClassesSendTheEntriesToTheUsersClassesAndBack) {
    registry.SetWritable(platform::Hive::ClassesRoot, false);
    ASSERT_TRUE(RegisterExtension(script, registry));
    EXPECT_TRUE(Classes().empty());
    EXPECT_EQ(Classes(true), kRegistered);

    ASSERT_TRUE(UnregisterExtension(script, registry));
    EXPECT_EQ(Classes(true), (std::set<std::wstring>{L"\\CLSID\\", L"\\*\\Shellex\\ContextMenuHandlers\\",
                                                     L"\\Folder\\Shellex\\ContextMenuHandlers\\"}));

    // Allowed again, the machine's entries replace the user's copy, which would hide them.
    ASSERT_TRUE(RegisterExtension(script, registry));  // refused: written for the user
    registry.SetWritable(platform::Hive::ClassesRoot, true);
    ASSERT_TRUE(RegisterExtension(script, registry));
    EXPECT_EQ(Classes(), kRegistered);
    EXPECT_FALSE(registry.Open(platform::Hive::CurrentUser, L"Software\\Classes\\CLSID\\" + kClsid,
                               platform::Access::Read));
}

// The uploader registers the extension only when no registration names a library that exists:
// anything else would write a second copy at every start of a standard user.
TEST_F(Registration, RegisteredMeansAServerKeyThatNamesAnExistingLibrary) {
    testsupport::TempDir folder;
    const std::wstring library = (folder.Path() / "OrvaneShellExt.dll").wstring();
    std::ofstream(folder.Path() / "OrvaneShellExt.dll") << "MZ";
    const std::wstring missing = (folder.Path() / "gone.dll").wstring();
    struct Case {
        const char* name;
        bool machineWide;
        const std::wstring* module;  // null: nothing registered
        bool machineWritable;
        bool registered;
    };
    const Case cases[] = {
        {"nothing registered", true, nullptr, true, false},
        {"machine-wide", true, &library, true, true},
        {"machine-wide, seen by a standard user", true, &library, false, true},
        {"for the user", false, &library, false, true},
        {"machine-wide, library gone", true, &missing, true, false},
        {"for the user, library gone", false, &missing, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::MemoryRegistry fresh;
        if (c.module) {
            const auto shipped = ParseRegistryScript(ShippedScript(), *c.module).value();
            ASSERT_TRUE(RegisterScript(c.machineWide ? shipped : PerUserScript(shipped), fresh));
        }
        fresh.SetWritable(platform::Hive::ClassesRoot, c.machineWritable);
        EXPECT_EQ(IsExtensionRegistered(fresh), c.registered);
    }
}

}  // namespace
