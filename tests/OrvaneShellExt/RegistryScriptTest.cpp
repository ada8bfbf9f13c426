// The extension's own registration script, applied to and removed from a registry: the entries
// the file manager and the uploader's presence check rely on, and nothing more.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "OrvaneShellExt/ExtensionRegistration.h"
#include "OrvaneShellExt/RegistryScript.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "tests/support/TempDir.h"

namespace {

const std::wstring kClsid = L"{3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}";
const std::wstring kDescription = L"Orvane Context Menu Shell Extension";
const std::wstring kModule = L"C:\\Program Files\\O'Neil\\OrvaneShellExt.dll";

std::wstring ShippedScript() {
    const char* source = std::getenv("ORVANE_SOURCE_DIR");
    std::ifstream file(std::string(source ? source : ".") + "/OrvaneShellExt/ShellExtContextMenu.rgs");
    std::stringstream text;
    text << file.rdbuf();
    const std::string bytes = text.str();
    return std::wstring(bytes.begin(), bytes.end());
}

// Every key below `key` as "path\" and every value as "path\name=data", sorted.
void Dump(const platform::RegistryKey& key, const std::wstring& path, std::set<std::wstring>& lines) {
    for (const std::wstring& name : key.ValueNames())
        lines.insert(path + L"\\" + (name.empty() ? L"@" : name) + L"=" +
                     platform::ReadString(key, name, 4096).value_or(L"?"));
    for (const std::wstring& name : key.SubkeyNames()) {
        lines.insert(path + L"\\" + name + L"\\");
        if (auto subkey = key.Open(name, platform::Access::Read)) Dump(*subkey, path + L"\\" + name, lines);
    }
}

class Registration : public testing::Test {
protected:
    RegistryScript Script() {
        auto script = ParseRegistryScript(ShippedScript(), kModule);
        EXPECT_TRUE(script);
        return script.value_or(RegistryScript{});
    }
    std::set<std::wstring> ClassesRoot() {
        std::set<std::wstring> lines;
        Dump(*registry.Root(platform::Hive::ClassesRoot), L"", lines);
        return lines;
    }
    // HKEY_CURRENT_USER\Software\Classes, in the same form.
    std::set<std::wstring> UserClasses() {
        std::set<std::wstring> lines;
        if (auto classes = registry.Open(platform::Hive::CurrentUser, L"Software\\Classes", platform::Access::Read))
            Dump(*classes, L"", lines);
        return lines;
    }
    void Put(const std::wstring& path, const std::wstring& data = L"x") {
        auto key = registry.Create(platform::Hive::ClassesRoot, path);
        ASSERT_TRUE(key && platform::WriteString(*key, L"", data));
    }

    platform::MemoryRegistry registry;
};

const std::set<std::wstring> kRegistered = {
    L"\\OrvaneShellExt.ShellExtContextMenu.1\\",
    L"\\OrvaneShellExt.ShellExtContextMenu.1\\@=" + kDescription,
    L"\\OrvaneShellExt.ShellExtContextMenu.1\\CLSID\\",
    L"\\OrvaneShellExt.ShellExtContextMenu.1\\CLSID\\@=" + kClsid,
    L"\\OrvaneShellExt.ShellExtContextMenu\\",
    L"\\OrvaneShellExt.ShellExtContextMenu\\@=" + kDescription,
    L"\\OrvaneShellExt.ShellExtContextMenu\\CLSID\\",
    L"\\OrvaneShellExt.ShellExtContextMenu\\CLSID\\@=" + kClsid,
    L"\\OrvaneShellExt.ShellExtContextMenu\\CurVer\\",
    L"\\OrvaneShellExt.ShellExtContextMenu\\CurVer\\@=OrvaneShellExt.ShellExtContextMenu.1",
    L"\\CLSID\\",
    L"\\CLSID\\" + kClsid + L"\\",
    L"\\CLSID\\" + kClsid + L"\\@=" + kDescription,
    L"\\CLSID\\" + kClsid + L"\\ProgID\\",
    L"\\CLSID\\" + kClsid + L"\\ProgID\\@=OrvaneShellExt.ShellExtContextMenu.1",
    L"\\CLSID\\" + kClsid + L"\\VersionIndependentProgID\\",
    L"\\CLSID\\" + kClsid + L"\\VersionIndependentProgID\\@=OrvaneShellExt.ShellExtContextMenu",
    L"\\CLSID\\" + kClsid + L"\\Programmable\\",
    L"\\CLSID\\" + kClsid + L"\\InprocServer32\\",
    L"\\CLSID\\" + kClsid + L"\\InprocServer32\\@=" + kModule,
    L"\\CLSID\\" + kClsid + L"\\InprocServer32\\ThreadingModel=Apartment",
    L"\\*\\",
    L"\\*\\Shellex\\",
    L"\\*\\Shellex\\ContextMenuHandlers\\",
    L"\\*\\Shellex\\ContextMenuHandlers\\OrvaneShellExt\\",
    L"\\*\\Shellex\\ContextMenuHandlers\\OrvaneShellExt\\@=" + kClsid,
    L"\\Folder\\",
    L"\\Folder\\Shellex\\",
    L"\\Folder\\Shellex\\ContextMenuHandlers\\",
    L"\\Folder\\Shellex\\ContextMenuHandlers\\OrvaneShellExt\\",
    L"\\Folder\\Shellex\\ContextMenuHandlers\\OrvaneShellExt\\@=" + kClsid,
};

TEST_F(Registration, WritesEveryEntryWithTheModulePathAsGiven) {
    ASSERT_TRUE(RegisterScript(Script(), registry));
    EXPECT_EQ(ClassesRoot(), kRegistered);
}

TEST_F(Registration, RegisteringAgainLeavesOneFreshSetUnderTheClsid) {
    ASSERT_TRUE(RegisterScript(Script(), registry));
    Put(L"CLSID\\" + kClsid + L"\\Stale");
    Put(L"CLSID\\" + kClsid + L"\\Programmable\\Stale");
    ASSERT_TRUE(RegisterScript(Script(), registry));
    EXPECT_EQ(ClassesRoot(), kRegistered);
}

TEST_F(Registration, UnregisteringRemovesOursAndKeepsSharedAndForeignKeys) {
    Put(L"CLSID\\{00000000-0000-0000-0000-000000000001}");
    Put(L"*\\Shellex\\ContextMenuHandlers\\Other");
    Put(L"Folder\\Shellex\\PropertySheetHandlers\\Other");
    Put(L"OrvaneShellExt.ShellExtContextMenu\\Foreign");
    const std::set<std::wstring> before = ClassesRoot();
    ASSERT_TRUE(RegisterScript(Script(), registry));
    ASSERT_TRUE(UnregisterScript(Script(), registry));

    // A listed key with a subkey the script does not know stays, without our values below it.
    std::set<std::wstring> expected = before;
    expected.insert({L"\\*\\Shellex\\", L"\\Folder\\Shellex\\ContextMenuHandlers\\",
                     L"\\OrvaneShellExt.ShellExtContextMenu\\@=" + kDescription});
    EXPECT_EQ(ClassesRoot(), expected);
}

TEST_F(Registration, UnregisteringWhatIsNotThereCreatesNothing) {
    EXPECT_TRUE(UnregisterScript(Script(), registry));
    EXPECT_TRUE(ClassesRoot().empty());
}

// A standard user, or an administrator without elevation, may not write the machine's classes.
TEST_F(Registration, RefusedMachineClassesSendTheEntriesToTheUsersClassesAndBack) {
    registry.SetWritable(platform::Hive::ClassesRoot, false);
    ASSERT_TRUE(RegisterExtension(Script(), registry));
    EXPECT_TRUE(ClassesRoot().empty());
    EXPECT_EQ(UserClasses(), kRegistered);

    ASSERT_TRUE(UnregisterExtension(Script(), registry));
    EXPECT_EQ(UserClasses(), (std::set<std::wstring>{L"\\CLSID\\", L"\\*\\", L"\\*\\Shellex\\",
                                                     L"\\*\\Shellex\\ContextMenuHandlers\\", L"\\Folder\\",
                                                     L"\\Folder\\Shellex\\",
                                                     L"\\Folder\\Shellex\\ContextMenuHandlers\\"}));

    // Allowed again, the machine's entries replace the user's copy, which would hide them.
    registry.SetWritable(platform::Hive::ClassesRoot, true);
    ASSERT_TRUE(RegisterExtension(Script(), registry));
    registry.SetWritable(platform::Hive::ClassesRoot, false);
    ASSERT_TRUE(RegisterExtension(Script(), registry));  // refused: written for the user
    registry.SetWritable(platform::Hive::ClassesRoot, true);
    ASSERT_TRUE(RegisterExtension(Script(), registry));
    EXPECT_EQ(ClassesRoot(), kRegistered);
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
            auto script = ParseRegistryScript(ShippedScript(), *c.module);
            ASSERT_TRUE(script);
            ASSERT_TRUE(RegisterScript(c.machineWide ? *script : PerUserScript(*script), fresh));
        }
        fresh.SetWritable(platform::Hive::ClassesRoot, c.machineWritable);
        EXPECT_EQ(IsExtensionRegistered(fresh), c.registered);
    }
}

TEST(RegistryScriptText, OnlyWellFormedScriptsParse) {
    EXPECT_TRUE(ParseRegistryScript(L"HKCU { A = s 'it''s' { val V = s '%MODULE%' } B }", L"m"));
    for (const wchar_t* bad : {L"HKCU { A = s 'open }", L"HKCU { A { B }", L"HKXX { A }", L"HKCU { A = d '1' }",
                               L"HKCU { = s 'x' }", L"HKCU { val }", L"HKCU { NoRemove }", L"HKCU A"})
        EXPECT_FALSE(ParseRegistryScript(bad, L"m")) << std::string(bad, bad + std::wcslen(bad));

    const auto script = ParseRegistryScript(L"HKCU { A = s 'it''s' { val V = s '%MODULE%' } }", L"C:\\a'b");
    ASSERT_TRUE(script);
    const RegistryScriptKey& key = script->roots.at(0).second.subkeys.at(0);
    EXPECT_EQ(key.defaultValue, L"it's");
    EXPECT_EQ(key.values.at(0).second, L"C:\\a'b");
}

}  // namespace
