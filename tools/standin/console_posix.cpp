// The console natively: arguments and file names are bytes as given; text
// from the settings file and cassettes (code page 932) is shown in the
// locale's encoding when that is UTF-8, and values typed in UTF-8 are
// written as code page 932, so a Japanese song name reads right on both sides.
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "standin/console.h"

namespace standin::console {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int) { stopSignal = 1; }

bool Utf8Locale() {
    static const bool utf8 = [] {
        std::setlocale(LC_CTYPE, "");
        const char* codeset = nl_langinfo(CODESET);
        return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    }();
    return utf8;
}

bool Ascii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// `text` converted, or nothing when some byte sequence has no conversion.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view text) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string input(text);
    std::string output(text.size() * 4 + 4, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
}

void Write(std::FILE* stream, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

void PrintOut(const std::string& line) {
    std::optional<std::string> shown;
    if (!Ascii(line) && Utf8Locale()) shown = Convert("UTF-8", "CP932", line);
    Write(stdout, shown ? *shown : line);
}

void PrintErr(const std::string& line) { Write(stderr, line); }

Console Make() {
    Console console;
    console.out = PrintOut;
    console.err = PrintErr;
    // Bytes that are no UTF-8 are taken to be code page 932 already.
    console.valueText = [](const std::string& text) {
        if (Ascii(text) || !Utf8Locale()) return text;
        std::optional<std::string> converted = Convert("CP932", "UTF-8", text);
        return converted ? *converted : text;
    };
    console.run = RunPlayer;
    return console;
}

void InstallStopHandlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A closed pipe on standard output must not end us before Visible=0 is written.
    signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return stopSignal != 0; }

void Done() {}

}  // namespace standin::console
