#include "framework/win32/wide.h"

#include <utility>

#include "framework/win32/win32.h"

namespace fw::win32 {

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool TryWiden(std::string_view text, std::wstring& wide) {
    if (text.empty()) {
        wide.clear();
        return true;
    }
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), size, result.data(), length) != length)
        return false;
    wide = std::move(result);
    return true;
}

std::string Narrow(std::wstring_view text, bool* lossless) {
    if (lossless) *lossless = true;
    if (text.empty()) return {};
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, lossless ? &usedDefault : nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                        nullptr, lossless ? &usedDefault : nullptr);
    if (lossless && usedDefault) *lossless = false;
    return narrow;
}

std::string ErrorText(unsigned long error) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(error);
    return Narrow(text);
}

}  // namespace fw::win32
