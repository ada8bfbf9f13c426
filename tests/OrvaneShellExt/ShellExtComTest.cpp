// The extension as the file manager meets it: the DLL loaded directly and through COM after
// regsvr32, a data object from the shell for real files and folders, a real menu, and the
// hand-off that a picked command starts.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <cwctype>
#include <filesystem>
#include <fstream>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Unique.h"
#include "store/DestinationStore.h"
#include "tests/OrvaneShellExt/ShellExtTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/win32/DialogDriver.h"
#include "tools/menuhost/ShellSelection.h"

namespace {

namespace fs = std::filesystem;
using namespace shellexttest;

const CLSID kClsid = {0x3C1D52A0, 0x7B44, 0x4E1F, {0x9A, 0x06, 0x2F, 0x5D, 0x8E, 0x61, 0xB7, 0xC3}};
const std::wstring kClsidText = L"{3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}";

struct ComApartment {
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

// The shell's own data object for items of one folder, as the file manager passes it.
void ShellDataObject(const fs::path& parent, const std::vector<std::wstring>& names, Com<IDataObject>& result) {
    ASSERT_EQ(::ShellDataObject(parent.wstring(), names, result), S_OK);
}

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    ::GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

class Extension : public testing::Test {
protected:
    Extension() {
        ResetRegistry();
        fs::create_directories(folder.Path() / "site");
        std::ofstream(folder.Path() / "a.txt") << "abc";
        std::ofstream(folder.Path() / "site" / "index.html") << "<html>";
    }
    ~Extension() override {
        if (m_library) ::FreeLibrary(m_library);
        ResetRegistry();
    }

    // The class factory, from the DLL loaded directly.
    void Factory(Com<IClassFactory>& factory) {
        if (!m_library) m_library = ::LoadLibraryW(WindowsPathOf(ORVANE_SHELLEXT_DLL).c_str());
        ASSERT_NE(m_library, nullptr);
        m_getClassObject = reinterpret_cast<decltype(&DllGetClassObject)>(
            reinterpret_cast<void*>(::GetProcAddress(m_library, "DllGetClassObject")));
        m_canUnloadNow = reinterpret_cast<decltype(&DllCanUnloadNow)>(
            reinterpret_cast<void*>(::GetProcAddress(m_library, "DllCanUnloadNow")));
        ASSERT_TRUE(m_getClassObject && m_canUnloadNow);
        ASSERT_EQ(m_getClassObject(kClsid, IID_IClassFactory, factory.Put()), S_OK);
    }

    // A context menu initialised with `names` of the test folder.
    void ContextMenu(const std::vector<std::wstring>& names, Com<IContextMenu>& menu) {
        Com<IDataObject> data;
        ShellDataObject(folder.Path(), names, data);
        ContextMenu(data.Get(), menu);
    }
    void ContextMenu(IDataObject* data, Com<IContextMenu>& menu) {
        Com<IClassFactory> factory;
        Factory(factory);
        Com<IShellExtInit> init;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.Put()), S_OK);
        ASSERT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
        ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.Put()), S_OK);
    }

    // Builds the menu and picks command `offset`, as the file manager does, from `owner`.
    static void Pick(IContextMenu& menu, unsigned offset, HWND owner = nullptr) {
        HMENU popup = ::CreatePopupMenu();
        menu.QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
        ::DestroyMenu(popup);
        CMINVOKECOMMANDINFO invocation{};
        invocation.cbSize = sizeof invocation;
        invocation.hwnd = owner;
        invocation.lpVerb = MAKEINTRESOURCEA(offset);
        EXPECT_EQ(menu.InvokeCommand(&invocation), S_OK);
    }

    // Destinations 1 "Work" and 2 "Home", 2 the default.
    void TwoDestinations() {
        SaveDestination(1, L"Work");
        SaveDestination(2, L"Home");
        DestinationStore().SetDefaultDestination(2);
    }

    ComApartment apartment;
    testsupport::TempDir folder;
    HMODULE m_library = nullptr;
    decltype(&DllGetClassObject) m_getClassObject = nullptr;
    decltype(&DllCanUnloadNow) m_canUnloadNow = nullptr;
};

TEST_F(Extension, FactoryServesOnlyItsClassAndHoldsTheModuleWhileInUse) {
    Com<IClassFactory> factory;
    Factory(factory);
    Com<IUnknown> unknown;
    EXPECT_EQ(m_getClassObject(IID_IUnknown, IID_IClassFactory, unknown.Put()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown, unknown.Put()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, unknown.Put()), E_NOINTERFACE);

    Com<IContextMenu> menu;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, menu.Put()), S_OK);
    factory.Reset();
    EXPECT_EQ(m_canUnloadNow(), S_FALSE);  // the object
    menu.Reset();
    EXPECT_EQ(m_canUnloadNow(), S_OK);
}

TEST_F(Extension, InitializeWantsAFileList) {
    Com<IClassFactory> factory;
    Factory(factory);
    Com<IShellExtInit> init;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.Put()), S_OK);
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    Com<IDataObject> data;
    ShellDataObject(folder.Path(), {L"a.txt", L"site"}, data);
    EXPECT_EQ(init->Initialize(nullptr, data.Get(), nullptr), S_OK);
}

TEST_F(Extension, MenuHoldsTheDefaultItemAndTheSubmenuOfAllDestinations) {
    TwoDestinations();
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
    HMENU popup = ::CreatePopupMenu();
    ::AppendMenuW(popup, MF_STRING, 1, L"Open");
    ::AppendMenuW(popup, MF_STRING, 2, L"Delete");

    const HRESULT hr = menu->QueryContextMenu(popup, 1, 100, 200, CMF_NORMAL);
    EXPECT_EQ(HRESULT_CODE(hr), 3);
    ASSERT_EQ(::GetMenuItemCount(popup), 4);
    EXPECT_EQ(MenuText(popup, 0), L"Open");
    EXPECT_EQ(MenuText(popup, 1), L"Upload to Home");
    EXPECT_EQ(::GetMenuItemID(popup, 1), 100u);
    EXPECT_EQ(MenuText(popup, 2), L"Upload to");
    EXPECT_EQ(MenuText(popup, 3), L"Delete");
    HMENU submenu = ::GetSubMenu(popup, 2);
    ASSERT_NE(submenu, nullptr);
    ASSERT_EQ(::GetMenuItemCount(submenu), 2);
    EXPECT_EQ(MenuText(submenu, 0), L"Work");
    EXPECT_EQ(::GetMenuItemID(submenu, 0), 101u);
    EXPECT_EQ(MenuText(submenu, 1), L"Home");
    EXPECT_EQ(::GetMenuItemID(submenu, 1), 102u);
    ::DestroyMenu(popup);

    // Only the identifiers the file manager granted are used.
    popup = ::CreatePopupMenu();
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 0, 100, 101, CMF_NORMAL)), 2);
    ::DestroyMenu(popup);
}

TEST_F(Extension, NothingIsAddedForDefaultOnlyMenusOrAnEmptyStore) {
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
    HMENU popup = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL), S_OK);
    EXPECT_EQ(::GetMenuItemCount(popup), 0);
    TwoDestinations();
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(::GetMenuItemCount(popup), 0);
    ::DestroyMenu(popup);
}

TEST_F(Extension, HelpTextIsCutToTheBufferAndVerbRequestsWriteNothing) {
    TwoDestinations();
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
    HMENU popup = ::CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
    ::DestroyMenu(popup);

    wchar_t wide[64];
    EXPECT_EQ(menu->GetCommandString(2, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64), S_OK);
    EXPECT_STREQ(wide, L"Upload to selected FTP destination");
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 10), S_OK);
    EXPECT_STREQ(wide, L"Upload to");
    char ansi[64];
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, ansi, 64), S_OK);
    EXPECT_STREQ(ansi, "Upload to selected FTP destination");

    std::fill(std::begin(ansi), std::end(ansi), '#');
    EXPECT_EQ(menu->GetCommandString(1, GCS_VERBA, nullptr, ansi, 64), S_OK);
    EXPECT_EQ(menu->GetCommandString(9, GCS_HELPTEXTA, nullptr, ansi, 64), S_OK);
    EXPECT_EQ(ansi[0], '#');
}

TEST_F(Extension, PickedCommandHandsTheSelectionToItsDestination) {
    TwoDestinations();
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt", L"site"}, menu);
    HMENU popup = ::CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
    ::DestroyMenu(popup);

    std::vector<ReceivedHandOff> work, home;
    auto recorder = [](std::vector<ReceivedHandOff>& into) {
        return [&into](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_COPYDATA) return std::nullopt;
            into.push_back(ReadCopyData(wParam, lParam));
            return TRUE;
        };
    };
    CExtensionTargetWindow workWindow(recorder(work), L"1"), homeWindow(recorder(home), L"2");

    CMINVOKECOMMANDINFO invocation{};
    invocation.cbSize = sizeof invocation;
    invocation.lpVerb = "open";
    EXPECT_EQ(menu->InvokeCommand(&invocation), S_OK);
    invocation.lpVerb = MAKEINTRESOURCEA(7);  // no such command
    EXPECT_EQ(menu->InvokeCommand(&invocation), S_OK);
    EXPECT_TRUE(work.empty() && home.empty());

    invocation.lpVerb = MAKEINTRESOURCEA(1);  // "Work" in the submenu
    EXPECT_EQ(menu->InvokeCommand(&invocation), S_OK);
    ASSERT_EQ(work.size(), 1u);
    EXPECT_TRUE(home.empty());
    const std::wstring base = folder.Wide();
    EXPECT_EQ(HandOffKeyLines(1, work[0].guid),
              (std::vector<std::wstring>{L"@=" + base, L"a.txt=" + base + L"\\a.txt", L"site\\",
                                         L"site\\index.html=" + base + L"\\site\\index.html"}));

    invocation.lpVerb = MAKEINTRESOURCEA(0);  // the default item, "Upload to Home"
    EXPECT_EQ(menu->InvokeCommand(&invocation), S_OK);
    ASSERT_EQ(home.size(), 1u);
    EXPECT_EQ(home[0].number, 2u);
}

// What the shell's folder objects do not make: a path past 260 characters, which arrives whole,
// and items of two drives, which have no folder in common and are refused with a message owned
// by the window the command came from.
TEST_F(Extension, LongPathArrivesWholeAndItemsOfTwoDrivesAreRefused) {
    TwoDestinations();
    fs::path deep = folder.Path();
    for (char c = 'p'; c < 'u'; ++c) deep /= std::string(60, c);
    fs::create_directories(deep);
    std::ofstream(deep / "file.bin") << "x";
    const std::wstring deepFile = (deep / "file.bin").wstring();
    ASSERT_GT(deepFile.size(), 300u);
    std::vector<ReceivedHandOff> work;
    CExtensionTargetWindow workWindow(
        [&](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_COPYDATA) return std::nullopt;
            work.push_back(ReadCopyData(wParam, lParam));
            return TRUE;
        },
        L"1");

    HDropSelection deepSelection({deepFile});
    Com<IContextMenu> menu;
    ContextMenu(&deepSelection, menu);
    Pick(*menu.Get(), 1);  // "Work" in the submenu
    ASSERT_EQ(work.size(), 1u);
    EXPECT_EQ(HandOffKeyLines(1, work[0].guid),
              (std::vector<std::wstring>{L"@=" + deep.wstring(), L"file.bin=" + deepFile}));

    const std::wstring here = folder.Wide();
    const std::wstring otherDrive = (::towupper(here[0]) == L'Z' ? L"C" : L"Z") + std::wstring(L":\\elsewhere\\a.txt");
    HDropSelection spread({here + L"\\a.txt", otherDrive});
    ContextMenu(&spread, menu);
    std::wstring text;
    HWND owner = nullptr;
    {
        testsupport::Helper user([&] {
            HWND box = testsupport::WaitForWindow(L"Upload to Work");
            if (!box) return;
            text = testsupport::ItemText(box, 0xFFFF);
            owner = ::GetWindow(box, GW_OWNER);
            testsupport::PostClick(box, IDOK);
        });
        Pick(*menu.Get(), 1, workWindow.Handle());  // its message box's loop runs until the click
    }
    EXPECT_EQ(owner, workWindow.Handle());
    EXPECT_EQ(text, L"The selected items are on different drives or network shares, so they have no common "
                    L"folder to upload them from. Upload the items of each drive or share separately.");
    EXPECT_EQ(work.size(), 1u);  // nothing handed off
}

// regsvr32 as a user would run it, then the file manager's way in: CoCreateInstance by CLSID.
class Registered : public Extension {
protected:
    static DWORD Regsvr32(const std::wstring& arguments) {
        std::wstring commandLine = L"regsvr32.exe /s " + arguments + L" \"" + WindowsPathOf(ORVANE_SHELLEXT_DLL) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process))
            return ::GetLastError();
        platform::win32::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
        ::WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 1;
        ::GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    static std::optional<std::wstring> ClassesValue(const std::wstring& path, const std::wstring& name) {
        auto key = platform::SystemRegistry().Open(platform::Hive::ClassesRoot, path, platform::Access::Read);
        return key ? platform::ReadString(*key, name, 1024) : std::nullopt;
    }
    static bool ClassesKeyExists(const std::wstring& path) {
        return platform::SystemRegistry().Open(platform::Hive::ClassesRoot, path, platform::Access::Read) != nullptr;
    }
};

TEST_F(Registered, Regsvr32WritesTheEntriesAndComCreatesTheHandler) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    const std::wstring server = L"CLSID\\" + kClsidText + L"\\InprocServer32";
    const auto path = ClassesValue(server, L"");
    ASSERT_TRUE(path);
    EXPECT_EQ(fs::equivalent(*path, WindowsPathOf(ORVANE_SHELLEXT_DLL)), true);
    EXPECT_EQ(ClassesValue(server, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassesValue(L"*\\Shellex\\ContextMenuHandlers\\OrvaneShellExt", L""), kClsidText);
    EXPECT_EQ(ClassesValue(L"Folder\\Shellex\\ContextMenuHandlers\\OrvaneShellExt", L""), kClsidText);

    TwoDestinations();
    Com<IShellExtInit> init;
    ASSERT_EQ(::CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.Put()), S_OK);
    Com<IDataObject> data;
    ShellDataObject(folder.Path(), {L"site"}, data);
    ASSERT_EQ(init->Initialize(nullptr, data.Get(), nullptr), S_OK);
    Com<IContextMenu> menu;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.Put()), S_OK);
    HMENU popup = ::CreatePopupMenu();
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL)), 3);
    EXPECT_EQ(MenuText(popup, 0), L"Upload to Home");
    ::DestroyMenu(popup);
    menu.Reset();
    init.Reset();
    ::CoFreeUnusedLibraries();

    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_FALSE(ClassesKeyExists(L"CLSID\\" + kClsidText));
    EXPECT_FALSE(ClassesKeyExists(L"OrvaneShellExt.ShellExtContextMenu"));
    EXPECT_FALSE(ClassesKeyExists(L"OrvaneShellExt.ShellExtContextMenu.1"));
    EXPECT_FALSE(ClassesKeyExists(L"*\\Shellex\\ContextMenuHandlers\\OrvaneShellExt"));
    EXPECT_FALSE(ClassesKeyExists(L"Folder\\Shellex\\ContextMenuHandlers\\OrvaneShellExt"));
    EXPECT_TRUE(ClassesKeyExists(L"CLSID"));
    EXPECT_TRUE(ClassesKeyExists(L"*\\Shellex\\ContextMenuHandlers"));
    EXPECT_TRUE(ClassesKeyExists(L"Folder\\Shellex\\ContextMenuHandlers"));
}

}  // namespace
