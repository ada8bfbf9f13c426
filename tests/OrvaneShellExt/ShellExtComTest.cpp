// The extension as the file manager meets it: the DLL loaded directly and through COM after
// regsvr32, a data object from the shell for real files and folders, a real menu, and the
// hand-off that a picked command starts.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "Orvane/app/HandOffReader.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Unique.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"
#include "tests/OrvaneShellExt/ShellExtTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/win32/DialogDriver.h"
#include "tools/menuhost/ShellSelection.h"

namespace {

namespace fs = std::filesystem;
using namespace shellexttest;
using testsupport::ItemText;
using testsupport::PostClick;
using testsupport::PumpUntil;
using testsupport::WaitForWindow;

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
        // Hand-offs run on the extension's own threads, which hold the module until they end.
        if (m_canUnloadNow) {
            EXPECT_TRUE(PumpUntil([&] { return m_canUnloadNow() == S_OK; }, std::chrono::seconds(60)));
        }
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
        EXPECT_EQ(Invoke(menu, MAKEINTRESOURCEA(offset), owner), S_OK);
    }
    static HRESULT Invoke(IContextMenu& menu, const char* verb, HWND owner = nullptr) {
        CMINVOKECOMMANDINFO invocation{};
        invocation.cbSize = sizeof invocation;
        invocation.hwnd = owner;
        invocation.lpVerb = verb;
        return menu.InvokeCommand(&invocation);
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

// The file manager's own verbs are not ours: a handler registered for every file must not claim
// them. A verb string whose address has bits 16-31 clear is still a string, not command 0.
TEST_F(Extension, ForeignVerbsAndUnknownOffsetsAreRefused) {
    TwoDestinations();
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
    HMENU popup = ::CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
    ::DestroyMenu(popup);

    char* lowVerb = nullptr;
    for (std::uintptr_t at = std::uintptr_t{1} << 32; !lowVerb && at < (std::uintptr_t{1} << 40); at += std::uintptr_t{1} << 32)
        lowVerb = static_cast<char*>(::VirtualAlloc(reinterpret_cast<void*>(at), 4096, MEM_RESERVE | MEM_COMMIT,
                                                    PAGE_READWRITE));
    ASSERT_NE(lowVerb, nullptr);
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(lowVerb) & 0xFFFF0000u, 0u);
    std::strcpy(lowVerb, "delete");
    const char* const verbs[] = {"open", "delete", lowVerb, MAKEINTRESOURCEA(7)};
    for (const char* verb : verbs) {
        SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(verb));
        EXPECT_EQ(Invoke(*menu.Get(), verb), E_FAIL);
    }
    ::VirtualFree(lowVerb, 0, MEM_RELEASE);
    menu.Reset();
    EXPECT_EQ(m_canUnloadNow(), S_OK);  // no hand-off was started
}

TEST_F(Extension, PickedCommandHandsTheSelectionToItsDestination) {
    TwoDestinations();
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt", L"site"}, menu);
    std::vector<ReceivedHandOff> work, home;
    auto recorder = [](std::vector<ReceivedHandOff>& into) {
        return [&into](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_COPYDATA) return std::nullopt;
            into.push_back(ReadCopyData(wParam, lParam));
            return TRUE;
        };
    };
    CExtensionTargetWindow workWindow(recorder(work), L"1"), homeWindow(recorder(home), L"2");

    Pick(*menu.Get(), 1);  // "Work" in the submenu
    ASSERT_TRUE(PumpUntil([&] { return work.size() == 1; }));
    EXPECT_TRUE(home.empty());
    const std::wstring base = folder.Wide();
    EXPECT_EQ(HandOffKeyLines(1, work[0].guid),
              (std::vector<std::wstring>{L"@=" + base, L"a.txt=" + base + L"\\a.txt", L"site\\",
                                         L"site\\index.html=" + base + L"\\site\\index.html"}));

    Pick(*menu.Get(), 0);  // the default item, "Upload to Home"
    ASSERT_TRUE(PumpUntil([&] { return home.size() == 1; }));
    EXPECT_EQ(home[0].number, 2u);
    EXPECT_EQ(work.size(), 1u);
}

// The file manager's thread only copies the selection: the walk and the registry happen on the
// extension's worker, and the hand-off still arrives whole.
TEST_F(Extension, InvokeReturnsAtOnceForTenThousandFilesAndTheHandOffStillArrives) {
    TwoDestinations();
    for (int outer = 0; outer < 10; ++outer)
        for (int inner = 0; inner < 10; ++inner) {
            const fs::path dir = folder.Path() / "tree" / std::to_string(outer) / std::to_string(inner);
            fs::create_directories(dir);
            for (int file = 0; file < 100; ++file) std::ofstream(dir / ("f" + std::to_string(file) + ".txt"));
        }
    std::vector<ReceivedHandOff> work;
    CExtensionTargetWindow workWindow(
        [&](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_COPYDATA) return std::nullopt;
            work.push_back(ReadCopyData(wParam, lParam));
            return TRUE;
        },
        L"1");
    Com<IContextMenu> menu;
    ContextMenu({L"tree"}, menu);
    HMENU popup = ::CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
    ::DestroyMenu(popup);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(1)), S_OK);
    const double invoke = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(PumpUntil([&] { return work.size() == 1; }, std::chrono::seconds(120)));
    const double arrived = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("InvokeCommand for 10000 files in 110 folders returned in %.2f ms; the hand-off arrived after %.2f s\n",
                invoke, arrived);
    EXPECT_LT(invoke, 2000.0);  // a bound for a loaded machine; the figure above is what counts

    UploadJob job;
    ReadHandOffKey(L"", HandOffKeyPath(DestinationStore().GetDestination(1), GuidText(work[0].guid)), job);
    EXPECT_EQ(job.files.size(), 10000u);
}

// What the shell's folder objects do not make: a path past 260 characters arrives whole.
TEST_F(Extension, LongPathArrivesWhole) {
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
    ASSERT_TRUE(PumpUntil([&] { return work.size() == 1; }));
    EXPECT_EQ(HandOffKeyLines(1, work[0].guid),
              (std::vector<std::wstring>{L"@=" + deep.wstring(), L"file.bin=" + deepFile}));
}

// What the user must learn of a hand-off that fails on the worker comes in a message box of the
// worker, owned by the window the command came from while that window exists (a box owned by a
// window that is gone is not shown at all). The worker keeps the module until the box is closed.
TEST_F(Extension, FailedHandOffsAreToldInABoxOwnedByTheInvokingWindowWhileItExists) {
    TwoDestinations();
    CExtensionTargetWindow workWindow([](UINT, WPARAM, LPARAM) -> std::optional<LRESULT> { return std::nullopt; },
                                      L"1");
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);

    const std::wstring here = folder.Wide();
    const std::wstring otherDrive = (::towupper(here[0]) == L'Z' ? L"C" : L"Z") + std::wstring(L":\\elsewhere\\a.txt");
    const std::wstring missingProgram = here + L"\\no such\\Orvane.exe";
    struct Case {
        const char* name;
        std::vector<std::wstring> paths;
        unsigned offset;           // 1 "Work" has a window that takes nothing, 0 "Home" none
        std::optional<std::wstring> programPath;
        HWND owner;
        std::wstring caption;
        std::wstring text;
    };
    const Case cases[] = {
        {"items of two drives", {here + L"\\a.txt", otherDrive}, 1, std::nullopt, workWindow.Handle(),
         L"Upload to Work",
         L"The selected items are on different drives or network shares, so they have no common folder to upload "
         L"them from. Upload the items of each drive or share separately."},
        {"a drive", {here.substr(0, 3)}, 1, std::nullopt, gone, L"Upload to Work",
         L"A whole drive or network share cannot be uploaded at once. Open it and select the folders and files to "
         L"upload."},
        {"no program path", {here + L"\\a.txt"}, 0, std::nullopt, workWindow.Handle(), L"Upload to Home",
         L"The context menu does not know yet where Orvane is. Start Orvane once from the Start menu, then upload "
         L"again."},
        {"a program that cannot be started", {here + L"\\a.txt"}, 0, missingProgram, nullptr, L"Upload to Home",
         L"Orvane could not be started from " + missingProgram +
             L". Start Orvane once from the Start menu, so that the context menu learns where it is now, then "
             L"upload again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
        if (c.programPath) WriteUploaderPath(*c.programPath);
        HDropSelection selection(c.paths);
        Com<IContextMenu> menu;
        ContextMenu(&selection, menu);
        Pick(*menu.Get(), c.offset, c.owner);
        menu.Reset();

        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = WaitForWindow(c.caption, std::chrono::milliseconds(0))) != nullptr; }));
        EXPECT_EQ(m_canUnloadNow(), S_FALSE);  // the worker, still showing its box
        EXPECT_EQ(ItemText(box, 0xFFFF), c.text);
        EXPECT_EQ(::GetWindow(box, GW_OWNER), c.owner == gone ? nullptr : c.owner);
        PostClick(box, IDOK);
        ASSERT_TRUE(PumpUntil([&] { return m_canUnloadNow() == S_OK; }));
    }
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
