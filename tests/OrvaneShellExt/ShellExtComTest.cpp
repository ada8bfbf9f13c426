// The extension as the file manager meets it: the DLL loaded directly and through COM after
// regsvr32, a data object from the shell for real files and folders, a real menu, and the
// hand-off that a picked command starts.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>

#include "platform/RegistryValues.h"
#include "platform/win32/Unique.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "tests/OrvaneShellExt/ShellExtTestSupport.h"
#include "tests/support/win32/DialogDriver.h"
#include "tools/menuhost/ShellSelection.h"

namespace {

namespace fs = std::filesystem;
using namespace shellexttest;
using testsupport::PumpUntil;

const CLSID kClsid = {0x3C1D52A0, 0x7B44, 0x4E1F, {0x9A, 0x06, 0x2F, 0x5D, 0x8E, 0x61, 0xB7, 0xC3}};
const std::wstring kClsidText = L"{3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}";

struct ComApartment {
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

// A menu's items as "text id", a submenu's as "text [its items]".
std::wstring Items(HMENU menu) {
    std::wstring items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        ::GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
        HMENU submenu = ::GetSubMenu(menu, i);
        items += (i ? L", " : L"") + std::wstring(text) + L" " +
                 (submenu ? L"[" + Items(submenu) + L"]" : std::to_wstring(::GetMenuItemID(menu, i)));
    }
    return items;
}

class Extension : public testing::Test {
protected:
    Extension() {
        ResetRegistry();
        fs::create_directories(folder.Path() / "site");
        std::ofstream(folder.Path() / "a.txt") << "abc";
        std::ofstream(folder.Path() / "site" / "index.html") << "<html>";
        // Destinations 1 "Work" and 2 "Home", 2 the default.
        SaveDestination(1, L"Work");
        SaveDestination(2, L"Home");
        DestinationStore().SetDefaultDestination(2);
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

    // A context menu initialised with the shell's own data object for `names` of the test folder,
    // or with `data`; its items are added as the file manager does.
    void ContextMenu(const std::vector<std::wstring>& names, Com<IContextMenu>& menu) {
        Com<IDataObject> data;
        ASSERT_EQ(::ShellDataObject(folder.Wide(), names, data), S_OK);
        ContextMenu(data.Get(), menu);
    }
    void ContextMenu(IDataObject* data, Com<IContextMenu>& menu) {
        Com<IClassFactory> factory;
        Factory(factory);
        Com<IShellExtInit> init;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.Put()), S_OK);
        EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
        ASSERT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
        ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.Put()), S_OK);
        HMENU popup = ::CreatePopupMenu();
        menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
        ::DestroyMenu(popup);
    }

    // Picks `verb`: a command offset (1 "Work" in the submenu, 0 the default "Upload to Home"), or
    // a verb string.
    static HRESULT Invoke(IContextMenu& menu, const char* verb, HWND owner = nullptr) {
        CMINVOKECOMMANDINFO invocation{};
        invocation.cbSize = sizeof invocation;
        invocation.hwnd = owner;
        invocation.lpVerb = verb;
        return menu.InvokeCommand(&invocation);
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

TEST_F(Extension, MenuHoldsTheDefaultItemAndTheSubmenuOfAllDestinationsWithinTheGrantedIds) {
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
    HMENU popup = ::CreatePopupMenu();
    ::AppendMenuW(popup, MF_STRING, 1, L"Open");
    ::AppendMenuW(popup, MF_STRING, 2, L"Delete");
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 1, 100, 200, CMF_NORMAL)), 3);
    EXPECT_EQ(Items(popup), L"Open 1, Upload to Home 100, Upload to [Work 101, Home 102], Delete 2");
    ::DestroyMenu(popup);

    // Only the identifiers the file manager granted are used; default-only menus and an empty
    // store get nothing.
    popup = ::CreatePopupMenu();
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 0, 100, 101, CMF_NORMAL)), 2);
    ::DestroyMenu(popup);
    popup = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_DEFAULTONLY), S_OK);
    ResetRegistry();
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL), S_OK);
    EXPECT_EQ(::GetMenuItemCount(popup), 0);
    ::DestroyMenu(popup);
}

TEST_F(Extension, HelpTextIsCutToTheBufferAndVerbRequestsWriteNothing) {
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
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
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
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

// The file manager's thread only copies the selection: the walk and the hand-off happen on the
// extension's worker, whose message to this thread's window waits until this thread pumps.
TEST_F(Extension, PickedCommandHandsTheSelectionToItsDestinationFromAWorker) {
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt", L"site"}, menu);
    TargetWindow work(L"1"), home(L"2");

    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(1)), S_OK);
    EXPECT_TRUE(work.received.empty());
    ASSERT_TRUE(PumpUntil([&] { return work.received.size() == 1; }));
    const ReceivedHandOff& message = work.received[0];
    EXPECT_EQ(message.number, 1u);
    EXPECT_EQ(message.dataNumber, 1u);
    EXPECT_EQ(message.size, 16u);
    const std::wstring base = folder.Wide();
    EXPECT_EQ(HandedOffFiles(1, message.guid),
              (std::set<std::wstring>{base + L"\\a.txt", base + L"\\site\\index.html"}));

    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(0)), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return home.received.size() == 1; }));
    EXPECT_EQ(home.received[0].number, 2u);
    EXPECT_EQ(work.received.size(), 1u);
}

// What the shell's folder objects do not make: a path past 260 characters arrives whole.
TEST_F(Extension, LongPathArrivesWhole) {
    fs::path deep = folder.Path();
    for (char c = 'p'; c < 'u'; ++c) deep /= std::string(60, c);
    fs::create_directories(deep);
    std::ofstream(deep / "file.bin") << "x";
    const std::wstring deepFile = (deep / "file.bin").wstring();
    ASSERT_GT(deepFile.size(), 300u);
    TargetWindow work(L"1");
    HDropSelection deepSelection({deepFile});
    Com<IContextMenu> menu;
    ContextMenu(&deepSelection, menu);
    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(1)), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return work.received.size() == 1; }));
    EXPECT_EQ(HandedOffFiles(1, work.received[0].guid), std::set<std::wstring>{deepFile});
}

// What the user must learn of a hand-off that fails on the worker comes in a message box of the
// worker, owned by the window the command came from while that window exists (a box owned by a
// window that is gone is not shown at all). The worker keeps the module until the box is closed.
TEST_F(Extension, FailedHandOffsAreToldInABoxOwnedByTheInvokingWindowWhileItExists) {
    CExtensionTargetWindow refusing([](UINT, WPARAM, LPARAM) -> std::optional<LRESULT> { return std::nullopt; },
                                    L"1");
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);

    const std::wstring here = folder.Wide();
    const std::wstring missingProgram = here + L"\\no such\\Orvane.exe";
    const struct {
        std::wstring path;
        unsigned offset;  // 1 "Work" has a window that takes nothing, 0 "Home" none
        std::optional<std::wstring> programPath;
        HWND owner;
        std::wstring caption;
        std::wstring text;  // a part that only this failure's text has
    } cases[] = {
        {here.substr(0, 3), 1, std::nullopt, gone, L"Upload to Work", L"A whole drive or network share cannot"},
        {here + L"\\a.txt", 0, std::nullopt, refusing.Handle(), L"Upload to Home", L"does not know yet where Orvane is"},
        {here + L"\\a.txt", 0, missingProgram, nullptr, L"Upload to Home",
         L"Orvane could not be started from " + missingProgram + L". Start Orvane once"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
        if (c.programPath) WriteUploaderPath(*c.programPath);
        HDropSelection selection({c.path});
        Com<IContextMenu> menu;
        ContextMenu(&selection, menu);
        EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(c.offset), c.owner), S_OK);
        menu.Reset();

        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil(
            [&] { return (box = testsupport::WaitForWindow(c.caption, std::chrono::milliseconds(0))) != nullptr; }));
        EXPECT_EQ(m_canUnloadNow(), S_FALSE);  // the worker, still showing its box
        EXPECT_NE(testsupport::ItemText(box, 0xFFFF).find(c.text), std::wstring::npos);
        EXPECT_EQ(::GetWindow(box, GW_OWNER), c.owner == gone ? nullptr : c.owner);
        testsupport::PostClick(box, IDOK);
        ASSERT_TRUE(PumpUntil([&] { return m_canUnloadNow() == S_OK; }));
    }
}

// regsvr32 as a user would run it, then the file manager's way in: CoCreateInstance by CLSID.
TEST_F(Extension, Regsvr32WritesTheEntriesComCreatesTheHandlerAndUnregisteringRemovesThem) {
    const auto regsvr32 = [](const std::wstring& arguments) {
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
    };
    const auto classes = [](const std::wstring& path) {
        return platform::SystemRegistry().Open(platform::Hive::ClassesRoot, path, platform::Access::Read);
    };
    const std::wstring handler = L"*\\Shellex\\ContextMenuHandlers\\OrvaneShellExt";
    ASSERT_EQ(regsvr32(L""), 0u);
    const auto server = classes(L"CLSID\\" + kClsidText + L"\\InprocServer32");
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(fs::equivalent(platform::ReadString(*server, L"", 1024).value_or(L""), WindowsPathOf(ORVANE_SHELLEXT_DLL)));
    EXPECT_EQ(platform::ReadString(*server, L"ThreadingModel", 1024), L"Apartment");
    EXPECT_EQ(platform::ReadString(*classes(handler), L"", 1024), kClsidText);

    Com<IShellExtInit> init;
    ASSERT_EQ(::CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.Put()), S_OK);
    Com<IDataObject> data;
    ASSERT_EQ(::ShellDataObject(folder.Wide(), {L"site"}, data), S_OK);
    ASSERT_EQ(init->Initialize(nullptr, data.Get(), nullptr), S_OK);
    Com<IContextMenu> menu;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.Put()), S_OK);
    HMENU popup = ::CreatePopupMenu();
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL)), 3);
    ::DestroyMenu(popup);
    menu.Reset();
    init.Reset();
    ::CoFreeUnusedLibraries();

    ASSERT_EQ(regsvr32(L"/u"), 0u);
    EXPECT_FALSE(classes(L"CLSID\\" + kClsidText));
    EXPECT_FALSE(classes(handler));
    EXPECT_TRUE(classes(L"*\\Shellex\\ContextMenuHandlers"));
}

}  // namespace
