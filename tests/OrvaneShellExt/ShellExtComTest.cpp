// The extension as the file manager meets it: the DLL loaded, a data object from the shell for
// real files and folders, a real menu, and the hand-off that a picked command starts, also when
// the uploader has to be started first.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "Orvane/app/HandOffReader.h"
#include "OrvaneShellExt/HandOffSelection.h"
#include "platform/Guid.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"
#include "tests/support/TempDir.h"
#include "tests/support/win32/DialogDriver.h"
#include "tools/menuhost/ShellSelection.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PumpUntil;

const CLSID kClsid = {0x3C1D52A0, 0x7B44, 0x4E1F, {0x9A, 0x06, 0x2F, 0x5D, 0x8E, 0x61, 0xB7, 0xC3}};

// Empties the keys of the store, the uploader's settings and the tests' own, in the real registry.
void ResetRegistry() {
    platform::Registry& registry = platform::SystemRegistry();
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
    registry.DeleteTree(platform::Hive::LocalMachine, L"Software\\Telmora");  // Wine's user may write it
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\OrvaneTests");
}

// A stand-in for the uploader's window of destination `title`, recording the hand-offs it takes.
struct ReceivedHandOff {
    WPARAM number = 0;
    ULONG_PTR dataNumber = 0;
    DWORD size = 0;
    platform::GuidBytes guid{};
};
struct TargetWindow {
    explicit TargetWindow(const std::wstring& title)
        : window([this](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
                       if (message != WM_COPYDATA) return std::nullopt;
                       const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                       ReceivedHandOff handOff{wParam, data->dwData, data->cbData, {}};
                       std::memcpy(handOff.guid.data(), data->lpData,
                                   std::min<std::size_t>(data->cbData, handOff.guid.size()));
                       received.push_back(handOff);
                       return TRUE;
                   },
                   title) {}

    std::vector<ReceivedHandOff> received;
    CExtensionTargetWindow window;
};

// The local paths in destination `number`'s hand-off key `guid`, as the uploader reads them.
std::set<std::wstring> HandedOffFiles(std::int32_t number, const platform::GuidBytes& guid) {
    UploadJob job;
    ReadHandOffKey(L"", HandOffKeyPath(DestinationStore().GetDestination(number), GuidText(guid)), job);
    std::set<std::wstring> files;
    for (const auto& [path, entry] : job.files) files.insert(path);
    return files;
}

// A selection as CF_HDROP of exactly `paths`, for what the shell's own folder objects will not make
// under Wine (a drive itself, paths past 260 characters). Lives on the stack, counts no references.
class HDropSelection final : public IDataObject {
public:
    explicit HDropSelection(std::vector<std::wstring> paths) : m_paths(std::move(paths)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
        const bool known = ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDataObject);
        *result = known ? static_cast<IDataObject*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        // DROPFILES, then each path with its terminator, then one more terminator.
        std::wstring list;
        for (const std::wstring& path : m_paths) list += path + L'\0';
        list += L'\0';
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
        medium->pUnkForRelease = nullptr;  // the receiver's ReleaseStgMedium frees it
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(medium->hGlobal));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
        ::GlobalUnlock(medium->hGlobal);
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::wstring> m_paths;
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
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ResetRegistry();
        fs::create_directories(folder.Path() / "site");
        std::ofstream(folder.Path() / "a.txt") << "abc";
        std::ofstream(folder.Path() / "site" / "index.html") << "<html>";
        // Destinations 1 "Work" and the machine-wide 65536 "Home", the default.
        for (const auto& [number, name] : {std::pair{1, L"Work"}, std::pair{65536, L"Home"}}) {
            FTPDestination destination = DestinationStore().GetDestination(number);
            destination.displayName = name;
            DestinationStore().SaveDestination(destination);
        }
        DestinationStore().SetDefaultDestination(65536);
    }
    ~Extension() override {
        // Hand-offs run on the extension's own threads, which hold the module until they end.
        if (m_canUnloadNow) {
            EXPECT_TRUE(PumpUntil([&] { return m_canUnloadNow() == S_OK; }, std::chrono::seconds(60)));
        }
        if (m_library) ::FreeLibrary(m_library);
        ResetRegistry();
        ::CoUninitialize();
    }

    // A context menu from the DLL loaded directly, initialised with the shell's own data object for
    // `names` of the test folder, or with `data`; its items are added as the file manager does.
    void ContextMenu(const std::vector<std::wstring>& names, Com<IContextMenu>& menu) {
        Com<IDataObject> data;
        ASSERT_EQ(::ShellDataObject(folder.Wide(), names, data), S_OK);
        ContextMenu(data.Get(), menu);
    }
    void ContextMenu(IDataObject* data, Com<IContextMenu>& menu) {
        if (!m_library) m_library = ::LoadLibraryW(testsupport::WindowsPathOf(ORVANE_SHELLEXT_DLL).c_str());
        ASSERT_NE(m_library, nullptr);
        const auto getClassObject = reinterpret_cast<decltype(&DllGetClassObject)>(
            reinterpret_cast<void*>(::GetProcAddress(m_library, "DllGetClassObject")));
        m_canUnloadNow = reinterpret_cast<decltype(&DllCanUnloadNow)>(
            reinterpret_cast<void*>(::GetProcAddress(m_library, "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject && m_canUnloadNow);
        Com<IClassFactory> factory;
        ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, factory.Put()), S_OK);
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

    testsupport::TempDir folder;
    HMODULE m_library = nullptr;
    decltype(&DllCanUnloadNow) m_canUnloadNow = nullptr;
};

// The file manager's own verbs are not ours: a handler registered for every file must not claim
// them. A verb string whose address has bits 16-31 clear is still a string, not command 0.
TEST_F(Extension, MenuHoldsTheDefaultItemAndTheSubmenuOfAllDestinationsAndRefusesForeignVerbs) {
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt"}, menu);
    HMENU popup = ::CreatePopupMenu();
    ::AppendMenuW(popup, MF_STRING, 1, L"Open");
    ::AppendMenuW(popup, MF_STRING, 2, L"Delete");
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 1, 100, 200, CMF_NORMAL)), 3);
    EXPECT_EQ(Items(popup), L"Open 1, Upload to Home 100, Upload to [Work 101, Home 102], Delete 2");
    ::DestroyMenu(popup);

    // Help texts are cut to the caller's buffer; verb requests and unknown offsets write nothing.
    wchar_t wide[64];
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 10), S_OK);
    EXPECT_STREQ(wide, L"Upload to");
    char ansi[64];
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, ansi, 64), S_OK);
    EXPECT_STREQ(ansi, "Upload to selected FTP destination");
    std::fill(std::begin(ansi), std::end(ansi), '#');
    EXPECT_EQ(menu->GetCommandString(1, GCS_VERBA, nullptr, ansi, 64), S_OK);
    EXPECT_EQ(menu->GetCommandString(9, GCS_HELPTEXTA, nullptr, ansi, 64), S_OK);
    EXPECT_EQ(ansi[0], '#');

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

    // Only the identifiers the file manager granted are used; default-only menus and an empty
    // store get nothing.
    popup = ::CreatePopupMenu();
    EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(popup, 0, 100, 101, CMF_NORMAL)), 2);
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_DEFAULTONLY), S_OK);
    ResetRegistry();
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL), S_OK);
    EXPECT_EQ(::GetMenuItemCount(popup), 2);  // the two items of the first of these
    ::DestroyMenu(popup);
    EXPECT_EQ(m_canUnloadNow(), S_FALSE);  // the menu object holds the module
    menu.Reset();
    EXPECT_EQ(m_canUnloadNow(), S_OK);  // and no hand-off was started
}

// The file manager's thread only copies the selection: the walk and the hand-off happen on the
// extension's worker, whose message to this thread's window waits until this thread pumps.
TEST_F(Extension, PickedCommandHandsTheSelectionToItsDestinationFromAWorker) {
    Com<IContextMenu> menu;
    ContextMenu({L"a.txt", L"site"}, menu);
    TargetWindow work(L"1"), home(L"65536"), other(L"6553");

    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(1)), S_OK);
    EXPECT_TRUE(work.received.empty());
    ASSERT_TRUE(PumpUntil([&] { return work.received.size() == 1; }));
    EXPECT_EQ(work.received[0].number, 1u);
    EXPECT_EQ(work.received[0].dataNumber, 1u);
    EXPECT_EQ(work.received[0].size, 16u);
    const std::wstring base = folder.Wide();
    EXPECT_EQ(HandedOffFiles(1, work.received[0].guid),
              (std::set<std::wstring>{base + L"\\a.txt", base + L"\\site\\index.html"}));

    // A machine-wide destination's window is found by its whole number; its hand-off key is in
    // the user's hive, where the uploader reads it.
    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(0)), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return home.received.size() == 1; }));
    EXPECT_EQ(home.received[0].number, 65536u);
    EXPECT_EQ(HandedOffFiles(65536, home.received[0].guid).size(), 2u);
    EXPECT_EQ(work.received.size(), 1u);
    EXPECT_TRUE(other.received.empty());

    // What the shell's folder objects do not make: a path past 260 characters arrives whole.
    fs::path deep = folder.Path();
    for (char c = 'p'; c < 'u'; ++c) deep /= std::string(60, c);
    fs::create_directories(deep);
    std::ofstream(deep / "file.bin") << "x";
    const std::wstring deepFile = (deep / "file.bin").wstring();
    ASSERT_GT(deepFile.size(), 300u);
    HDropSelection deepSelection({deepFile});
    ContextMenu(&deepSelection, menu);
    EXPECT_EQ(Invoke(*menu.Get(), MAKEINTRESOURCEA(1)), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return work.received.size() == 2; }));
    EXPECT_EQ(HandedOffFiles(1, work.received[1].guid), std::set<std::wstring>{deepFile});
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

// With no uploader's window, the uploader is started from its quoted path and gets the hand-off
// once idle; the stand-in opens its window two seconds after its start.
TEST_F(Extension, WithoutAWindowTheUploaderIsStartedFromItsQuotedPathAndGetsItOnceIdle) {
    const std::wstring file = folder.Wide() + L"\\a.txt";
    const auto handOffKeys = [](std::int32_t number) {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser,
                                                   kDestinationsPath + L"\\" + std::to_wstring(number),
                                                   platform::Access::Read);
        return key ? key->SubkeyNames().size() : 0;
    };
    // Without a program path nothing starts; the key waits for the uploader's next start.
    EXPECT_EQ(HandOffSelection(8, {file}).outcome, HandOffOutcome::NoProgramPath);
    EXPECT_EQ(handOffKeys(8), 1u);

    // A program at "...\\Orvane.exe" beside the folder with a blank is what an unquoted command
    // line would start instead.
    testsupport::TempDir install;
    const fs::path program = install.Path() / "Orvane Test" / "Orvane.exe";
    fs::create_directories(program.parent_path());
    const fs::path built = testsupport::WindowsPathOf(ORVANE_LATE_UPLOADER);
    fs::copy_file(built, program);
    fs::copy_file(built, install.Path() / "Orvane.exe");
    WriteUploaderPath(program.wstring());

    EXPECT_EQ(HandOffSelection(7, {file}).outcome, HandOffOutcome::Delivered);

    // Which program took it; a wrong number would have titled its window wrongly.
    auto received = platform::SystemRegistry().Open(platform::Hive::CurrentUser,
                                                    L"Software\\OrvaneTests\\LateUploader", platform::Access::Read);
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(platform::ReadString(*received, L"Program", 1024), program.wstring());
    EXPECT_EQ(handOffKeys(7), 1u);
}

}  // namespace
