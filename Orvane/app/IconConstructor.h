#pragma once
#include <windows.h>

// Builds a small opaque icon from what Draw paints on a bitmap of the small-icon size.
class CIconConstructor {
public:
    virtual ~CIconConstructor() = default;

protected:
    // The caller owns the icon.
    HICON Build();
    virtual void Draw(HDC context, int cx, int cy) = 0;
};

// The percentage done as two digits on the tooltip colour: 7 shows as 07, and never 100.
class CIconConstructorProgress final : public CIconConstructor {
public:
    HICON MakeIcon(int percent);
    int Percent() const { return m_percent; }

private:
    void Draw(HDC context, int cx, int cy) override;
    int m_percent = 0;
};
