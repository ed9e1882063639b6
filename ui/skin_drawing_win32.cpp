#include "ui/skin_drawing_win32.h"

#include <objidl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "session/control_ids.h"

namespace {

// The labels' font: 10 points at 96 DPI, in pixels so that it keeps its size at any DPI.
constexpr Gdiplus::REAL kLabelFontPixels = 10.0f * 96 / 72;

}  // namespace

bool Skin::Start() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, external codecs
    return Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
}

void Skin::Shutdown() {
    if (textFont_) DeleteObject(textFont_);
    textFont_ = nullptr;
    if (!token_) return;
    bitmaps_.clear();
    family_.reset();
    Gdiplus::GdiplusShutdown(token_);
    token_ = 0;
}

// The resource "#<id>" of type "PNG", copied into a movable global block that a stream reads.
Gdiplus::Bitmap* Skin::Png(int id) {
    auto known = bitmaps_.find(id);
    if (known != bitmaps_.end()) return known->second.get();
    std::unique_ptr<Gdiplus::Bitmap>& slot = bitmaps_[id];
    char name[16];
    std::snprintf(name, sizeof name, "#%d", id);
    HRSRC found = FindResourceA(nullptr, name, "PNG");
    if (!found) return nullptr;
    const DWORD size = SizeofResource(nullptr, found);
    const void* bytes = LockResource(LoadResource(nullptr, found));
    if (!bytes || !size) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    if (void* target = GlobalLock(block)) {
        std::memcpy(target, bytes, size);
        GlobalUnlock(block);
    }
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(block, FALSE, &stream) == S_OK) {
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream);
        // GDI+ reads the stream lazily: keep a decoded copy so the block can go.
        if (bitmap->GetLastStatus() == Gdiplus::Ok) {
            auto decoded = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(bitmap->GetWidth()),
                                                             static_cast<INT>(bitmap->GetHeight()),
                                                             PixelFormat32bppARGB);
            Gdiplus::Graphics graphics(decoded.get());
            graphics.DrawImage(bitmap.get(), 0, 0, static_cast<INT>(bitmap->GetWidth()),
                               static_cast<INT>(bitmap->GetHeight()));
            slot = std::move(decoded);
        }
        bitmap.reset();
        stream->Release();
    }
    GlobalFree(block);
    return slot.get();
}

std::unique_ptr<Gdiplus::Bitmap> Skin::CopyBackgroundArea(int x, int y, int width, int height) {
    auto piece = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    if (Gdiplus::Bitmap* background = Png(IDP_BACKGROUND)) {
        Gdiplus::Graphics graphics(piece.get());
        graphics.DrawImage(background, Gdiplus::Rect(0, 0, width, height), x, y, width, height, Gdiplus::UnitPixel);
    }
    return piece;
}

void Skin::DrawImage(HDC dc, Gdiplus::Bitmap* bitmap, const RECT& target) {
    if (!bitmap) return;
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(bitmap, Gdiplus::Rect(target.left, target.top, target.right - target.left,
                                             target.bottom - target.top));
}

void Skin::DrawBackground(HDC dc, const RECT& target) {
    Gdiplus::Bitmap* background = Png(IDP_BACKGROUND);
    if (!background) return;
    Gdiplus::Graphics graphics(dc);
    const INT width = target.right - target.left;
    const INT height = target.bottom - target.top;
    graphics.DrawImage(background, Gdiplus::Rect(target.left, target.top, width, height), target.left, target.top,
                       width, height, Gdiplus::UnitPixel);
}

// Arial, else the generic sans-serif family, else a family a system without either has
// (Wine has neither; its fonts are Liberation and DejaVu): a label is never left undrawn.
const Gdiplus::FontFamily* Skin::LabelFamily() {
    if (familyChosen_) return family_.get();
    familyChosen_ = true;
    for (const wchar_t* name : {L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Tahoma"}) {
        auto family = std::make_unique<Gdiplus::FontFamily>(name);
        if (family->GetLastStatus() == Gdiplus::Ok && family->IsAvailable()) {
            family_ = std::move(family);
            return family_.get();
        }
        if (name[0] == L'A') {
            // The generic family comes right after Arial.
            const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
            if (generic && generic->GetLastStatus() == Gdiplus::Ok && generic->IsAvailable()) {
                family_ = std::unique_ptr<Gdiplus::FontFamily>(generic->Clone());
                return family_.get();
            }
        }
    }
    return nullptr;
}

void Skin::DrawLabelText(HDC dc, const std::string& text, const RECT& target) {
    const Gdiplus::FontFamily* family = LabelFamily();
    if (!family || text.empty()) return;
    std::vector<wchar_t> wide(3600, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()) - 1);
    Gdiplus::Graphics graphics(dc);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    Gdiplus::Font font(family, kLabelFontPixels, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush brush(Gdiplus::Color(0xFF, 0xFF, 0xFF, 0xFE));
    graphics.DrawString(wide.data(), -1, &font,
                        Gdiplus::PointF(static_cast<Gdiplus::REAL>(target.left), static_cast<Gdiplus::REAL>(target.top)),
                        &brush);
}

HFONT Skin::TextFont(HFONT dialogFont, int points) {
    if (textFont_) return textFont_;
    LOGFONTA font{};
    if (!dialogFont || GetObjectA(dialogFont, sizeof font, &font) != sizeof font) {
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    }
    font.lfHeight = -MulDiv(points, 96, 72);  // what the dialog manager gives it at 96 DPI
    font.lfWidth = 0;
    textFont_ = CreateFontIndirectA(&font);
    return textFont_;
}

void DrawControlText(HDC dc, HFONT font, const std::string& text, RECT area, UINT format) {
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    DrawTextA(dc, text.c_str(), -1, &area, format);
    if (previous) SelectObject(dc, previous);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
}
