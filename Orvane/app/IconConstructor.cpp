#include "Orvane/app/IconConstructor.h"

#include <algorithm>
#include <cwchar>
#include <vector>

HICON CIconConstructor::Build() {
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    HDC display = ::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    HDC memory = ::CreateCompatibleDC(display);
    HBITMAP bitmap = ::CreateCompatibleBitmap(display, cx, cy);
    ::DeleteDC(display);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    Draw(memory, cx, cy);
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = bitmap;
    // An all-zero mask: the icon is opaque everywhere.
    std::vector<BYTE> mask(static_cast<std::size_t>(((cx + 15) / 16) * 2 * cy), 0);
    info.hbmMask = ::CreateBitmap(cx, cy, 1, 1, mask.data());
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(info.hbmMask);
    ::DeleteObject(bitmap);
    return icon;
}

HICON CIconConstructorProgress::MakeIcon(int percent) {
    m_percent = std::clamp(percent, 0, 99);
    return Build();
}

void CIconConstructorProgress::Draw(HDC context, int cx, int cy) {
    HGDIOBJ brush = ::SelectObject(context, ::GetSysColorBrush(COLOR_INFOBK));
    HGDIOBJ font = ::SelectObject(context, ::GetStockObject(DEFAULT_GUI_FONT));
    const COLORREF background = ::SetBkColor(context, ::GetSysColor(COLOR_INFOBK));
    ::Rectangle(context, 0, 0, cx, cy);
    wchar_t digits[8];
    std::swprintf(digits, 8, L"%02d", m_percent);
    ::SetBkMode(context, OPAQUE);
    ::TextOutW(context, 2, 1, digits, 2);
    ::SetBkColor(context, background);
    ::SelectObject(context, font);
    ::SelectObject(context, brush);
}
