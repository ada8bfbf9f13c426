#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

// The uploader's hidden window of class "OrvaneWindow", titled with the destination number it
// serves: the shell extension finds it by that title and sends it each hand-off. It sets its
// title on WM_CREATE and passes every other message to its owner; what the owner leaves
// unhandled (nullopt) goes to the default window procedure.
class CExtensionTargetWindow {
public:
    using OwnerHandler = std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;

    // Creates the window on the calling thread. Throws int (the system's error) when it cannot.
    CExtensionTargetWindow(OwnerHandler owner, std::wstring title);
    ~CExtensionTargetWindow();  // destroys the window if it is still there
    CExtensionTargetWindow(const CExtensionTargetWindow&) = delete;
    CExtensionTargetWindow& operator=(const CExtensionTargetWindow&) = delete;

    HWND Handle() const { return m_window; }
    // Destroys the window, so that no further hand-off reaches this process. The object stays:
    // this may run inside the window's own procedure (the program ending from a hand-off or a
    // WM_CLOSE it received), which still uses the object after the owner's handler returns.
    void Destroy();

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    OwnerHandler m_owner;
    std::wstring m_title;
    HWND m_window = nullptr;
};
