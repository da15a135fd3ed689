// Exact conversion between code page 932 and UTF-16 at the Win32 edge.  The
// code page is named explicitly, never the system's ANSI code page, so the
// programs behave the same on every Windows locale.
#pragma once

#include <string>
#include <string_view>

namespace fw::win32 {

constexpr unsigned kCodePage = 932;

std::wstring Widen(std::string_view text);
// Widen that refuses text which is not valid code page 932 (a lead byte
// without its trail byte, an unmapped pair): returns false and leaves
// `wide` as it was.  Paths are converted this way, so that a broken name
// never reaches the file system as some other, existing name.
bool TryWiden(std::string_view text, std::wstring& wide);
// `lossless` (when given) is cleared when some character has no code page
// 932 form and was replaced.
std::string Narrow(std::wstring_view text, bool* lossless = nullptr);

// The system's description of a Win32 error code, as code page 932 text.
std::string ErrorText(unsigned long error);

}  // namespace fw::win32
