#include "tools/flash/trace_line_text.h"

#include <windows.h>

namespace {

std::wstring Decode(UINT codePage, DWORD flags, const std::string& text) {
    const int length = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Into the ANSI code page without best-fit stand-ins (Ā is no A): `lost` says a character had no byte.
std::string Encode(UINT codePage, const std::wstring& wide, BOOL* lost) {
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, lost);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                            lost);
    return text;
}

}  // namespace

std::string TraceLineText(const std::string& bytes) {
    if (bytes.empty()) return {};
    return Encode(CP_UTF8, Decode(CP_ACP, 0, bytes), nullptr);
}

bool TraceLineBytes(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.empty()) return true;
    const std::wstring wide = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, text);
    if (wide.empty()) return false;
    BOOL lost = FALSE;
    bytes = Encode(CP_ACP, wide, &lost);
    return !lost;
}
