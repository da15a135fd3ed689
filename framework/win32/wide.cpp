#include "framework/win32/wide.h"

#include <algorithm>
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
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    // No best fit: the system would otherwise turn look-alikes into other
    // characters (U+00A5 into a backslash) and call the result exact.
    int length = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, "?",
                                     &usedDefault);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, narrow.data(), length, "?",
                        &usedDefault);
    if (lossless && (usedDefault || Widen(narrow) != text)) *lossless = false;
    return narrow;
}

std::string NarrowPath(const std::wstring& path) {
    bool lossless = true;
    std::string narrow = Narrow(path, &lossless);
    if (lossless) return narrow;
    std::string result;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        std::string name = Narrow(std::wstring_view(path).substr(start, end - start), &lossless);
        if (!lossless) {
            const std::wstring prefix = path.substr(0, end);
            std::wstring shortPath(32768, L'\0');
            DWORD length = GetShortPathNameW(prefix.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
            if (length > 0 && length < shortPath.size()) {
                shortPath.resize(length);
                bool exact = true;
                std::string shortName = Narrow(shortPath.substr(shortPath.rfind(L'\\') + 1), &exact);
                if (exact) name = std::move(shortName);
            }
        }
        result += name;
        if (end < path.size()) result += '\\';
        start = end + 1;
    }
    return result;
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
