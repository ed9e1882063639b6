// The skin's drawing: PNG resources decoded by GDI+, images stretched into their statics,
// labels in bold white over a piece of the background, and control texts in white.
// Everything is sized in pixels, text included: the window looks the same at 96, 120 and
// 144 DPI (Windows XP's "Large fonts", Windows 7 at 125 % and 150 %).
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>

class Skin {
public:
    // Starts GDI+ (version 1); false when it cannot start (nothing is drawn then).
    bool Start();
    void Shutdown();

    // The bitmap of PNG resource `id` of the program's module, decoded once and kept; null
    // when it is missing or cannot be decoded (it then draws nothing).
    Gdiplus::Bitmap* Png(int id);

    // The rectangle (window pixels) of the background image, as a bitmap of its own.
    std::unique_ptr<Gdiplus::Bitmap> CopyBackgroundArea(int x, int y, int width, int height);

    // Draws into a device context: the image stretched over the rectangle; the background
    // under the rectangle; a label's text from the rectangle's top-left corner (no wrapping,
    // no clipping; line breaks start new lines).
    void DrawImage(HDC dc, Gdiplus::Bitmap* bitmap, const RECT& target);
    void DrawBackground(HDC dc, const RECT& target);
    void DrawLabelText(HDC dc, const std::string& text, const RECT& target);

    // The controls' text font: `dialogFont` (the template's font, which the system sizes in
    // points at its own DPI) at the pixel height `points` has at 96 DPI. Made once, kept
    // until Shutdown; null when it cannot be made (the caller keeps the dialog's font then).
    HFONT TextFont(HFONT dialogFont, int points);

private:
    const Gdiplus::FontFamily* LabelFamily();

    ULONG_PTR token_ = 0;
    std::map<int, std::unique_ptr<Gdiplus::Bitmap>> bitmaps_;
    std::unique_ptr<Gdiplus::FontFamily> family_;
    bool familyChosen_ = false;
    HFONT textFont_ = nullptr;
};

// Control text: white, transparent background, the control's font, the caller's format
// (DT_CENTER | DT_VCENTER | DT_SINGLELINE, DT_VCENTER | DT_SINGLELINE, or 0).
void DrawControlText(HDC dc, HFONT font, const std::string& text, RECT area, UINT format);
