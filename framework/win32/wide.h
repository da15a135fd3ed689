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
// The code page 932 form of `text`, exact: a character that code page 932
// cannot hold becomes "?" (never a look-alike: U+00A5 is no backslash), and
// `lossless` (when given) is cleared when that happened, that is when the
// result does not convert back to `text`.
std::string Narrow(std::wstring_view text, bool* lossless = nullptr);

// A path the system handed out, in code page 932.  A name that code page 932
// cannot hold (a folder named in another script, or with a "¥") takes its
// short form where the volume has one; without one it keeps its "?", which
// no file name may hold, so the path can never name another file.  Every
// other name stays as it is, so that the path still shares its leading
// folders with its siblings.
std::string NarrowPath(const std::wstring& path);

// The system's description of a Win32 error code, as code page 932 text.
std::string ErrorText(unsigned long error);

}  // namespace fw::win32
