// The case table of the command-line splitter, for code page 932 text and
// for the system's UTF-16 alike: the same lines giving the same arguments.
// Shared by the native test of the splitter and the Windows test of the
// platform's re-quoting.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

namespace reference {

template <class Char>
struct CommandLineCase {
    std::basic_string<Char> line;
    std::vector<std::basic_string<Char>> arguments;
};

// One spelling of a literal in the character type asked for: the narrow
// one as the compiler stores it (code page 932), the wide one made by the
// compiler from the same source text, so no conversion is involved.
template <class Char>
const Char* Spelling(const char* narrow, const wchar_t* wide) {
    if constexpr (std::is_same_v<Char, char>)
        return narrow;
    else
        return wide;
}

template <class Char>
std::vector<CommandLineCase<Char>> CommandLineCases() {
#define T(text) Spelling<Char>(text, L"" text)
    return {
        {T(""), {}},
        {T(" \t\r\n "), {}},
        {T("prog"), {T("prog")}},
        {T("  prog  a.cas\tb.cas  "), {T("prog"), T("a.cas"), T("b.cas")}},
        {T("prog\r\na.cas\x01" "b.cas"), {T("prog"), T("a.cas"), T("b.cas")}},
        {T(R"(prog "C:\My Music\list.cas")"), {T("prog"), T(R"(C:\My Music\list.cas)")}},
        {T(R"(prog "C:\My Music\" next)"), {T("prog"), T(R"(C:\My Music\)"), T("next")}},
        {T(R"(prog a"b c"d)"), {T("prog"), T("ab cd")}},
        {T(R"(prog "a""b")"), {T("prog"), T("ab")}},
        {T(R"(prog "" x)"), {T("prog"), T(""), T("x")}},
        {T(R"(prog "")"), {T("prog"), T("")}},
        {T(R"(prog "unterminated  arg)"), {T("prog"), T("unterminated  arg")}},
        {T(R"("C:\Program Files\t.exe" C:\表\ソ.cas)"), {T(R"(C:\Program Files\t.exe)"), T(R"(C:\表\ソ.cas)")}},
        {T(R"(prog "C:\能 力\a.cas")"), {T("prog"), T(R"(C:\能 力\a.cas)")}},
    };
#undef T
}

}  // namespace reference
