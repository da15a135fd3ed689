#include "standin/commands.h"

#include <optional>
#include <utility>

#include "framework/files.h"
#include "framework/ini.h"
#include "framework/sysutils.h"
#include "standin/player.h"
#include "standin/status.h"

namespace standin {

namespace {

constexpr int kMaxSongSeconds = 99 * 60 + 59;  // what "MM:SS" can show

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about
// `"literal" + std::string(...)`.
std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

std::string KeyNames() {
    std::string names;
    for (const KeyInfo& info : Keys()) {
        if (!names.empty()) names.push_back(' ');
        names.append(info.name);
    }
    return names;
}

// A value must stay on its line of the file.
bool BreaksALine(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

int UsageError(const Console& console, const std::string& message) {
    console.err(message);
    console.err("Run \"SorbelStandIn help\" for the commands.");
    return kExitUsage;
}

// --- set ---------------------------------------------------------------

int RunSet(const std::vector<std::string>& args, const Console& console) {
    if (args.size() < 3) return UsageError(console, "set needs a settings file and at least one Key=Value");
    const std::string& path = args[1];
    std::vector<std::pair<Key, std::string>> values;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::size_t equals = arg.find('=');
        if (equals == std::string::npos) return UsageError(console, "expected Key=Value, got " + Quoted(arg));
        std::string name = arg.substr(0, equals);
        std::string value = arg.substr(equals + 1);
        const KeyInfo* info = FindKey(name);
        if (!info) return UsageError(console, "unknown key " + Quoted(name) + "; the keys are " + KeyNames());
        if (info->form == Form::String) {
            value = console.valueText(value);
            if (BreaksALine(value))
                return UsageError(console, "bad value for " + std::string(info->name) + ": a line end or NUL");
        } else {
            std::int32_t number;
            if (!fw::TryStrToInt(value, number))
                return UsageError(console, "bad value for " + std::string(info->name) + ": " + Quoted(value) +
                                               " is no decimal integer");
            value = fw::IntToStr(number);
        }
        values.emplace_back(info->key, std::move(value));
    }
    std::string error;
    if (!WriteKeys(path, values, error)) {
        console.err(error);
        return kExitFailed;
    }
    return kExitOk;
}

// --- show --------------------------------------------------------------

std::string ModeText(int how) {
    switch (how) {
        case 0: return "continuous";
        case 1: return "repeat one";
        case 2: return "stop after one";
        default: return "no mode: Vistel keeps its mode text";
    }
}

int RunShow(const std::vector<std::string>& args, const Console& console) {
    if (args.size() != 2) return UsageError(console, "show needs exactly one settings file");
    const std::string& path = args[1];
    std::string text;
    std::string reason;
    if (!fw::Files().ReadFile(path, text, reason)) {
        if (fw::Files().FileExists(path)) {
            console.err("cannot read " + path + ": " + reason);
            return kExitFailed;
        }
        console.err("note: " + path + " does not exist; every key reads as its default");
        text.clear();
    }
    bool play = false;
    bool stop = false;
    for (const KeyInfo& info : Keys()) {
        std::optional<std::string_view> raw = fw::IniFindValue(text, kSection, info.name);
        std::string line = std::string(info.name) + "=";
        std::string note;
        if (info.form == Form::String) {
            line += raw ? std::string(*raw) : info.defaultText;
            if (!raw) note = "default";
        } else {
            std::int32_t number = info.defaultNumber;
            if (!raw)
                note = "default";
            else if (!fw::TryStrToInt(*raw, number))
                note = "default; the file has " + Quoted(*raw);
            if (info.form == Form::Boolean) {
                line += number != 0 ? "true" : "false";
                if (info.key == Key::Play) play = number != 0;
                if (info.key == Key::Stop) stop = number != 0;
            } else {
                line += fw::IntToStr(number);
            }
            if (info.key == Key::How) note = ModeText(number) + (note.empty() ? "" : "; " + note);
        }
        if (!note.empty()) line += "  (" + note + ")";
        console.out(line);
    }
    console.out(std::string("Transport: ") + (stop ? "paused" : play ? "playing" : "stopped"));
    return kExitOk;
}

// --- play --------------------------------------------------------------

// The number after option `args[i]`, within [low, high].
bool OptionNumber(const std::vector<std::string>& args, std::size_t& i, int low, int high, int& number,
                  std::string& error) {
    const std::string& option = args[i];
    if (++i == args.size()) {
        error = option + " needs a number";
        return false;
    }
    std::int32_t value;
    if (!fw::TryStrToInt(args[i], value) || value < low || value > high) {
        error = "bad value for " + option + ": " + Quoted(args[i]) + " (" + std::to_string(low) + " to " +
                std::to_string(high) + ")";
        return false;
    }
    number = value;
    return true;
}

int RunPlay(const std::vector<std::string>& args, const Console& console) {
    std::vector<std::string> positional;
    int seconds = 0;
    int quitAfter = 0;
    std::optional<int> how;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string error;
        int number = 0;
        if (arg == "--seconds") {
            if (!OptionNumber(args, i, 1, kMaxSongSeconds, seconds, error)) return UsageError(console, error);
        } else if (arg == "--quit-after") {
            if (!OptionNumber(args, i, 1, 2147483647, quitAfter, error)) return UsageError(console, error);
        } else if (arg == "--how") {
            if (!OptionNumber(args, i, 0, 2, number, error)) return UsageError(console, error);
            how = number;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError(console, "unknown option " + Quoted(arg));
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return UsageError(console, "play needs a settings file and a cassette file");

    PlayerSetup setup;
    setup.iniPath = positional[0];
    const std::string& cassette = positional[1];
    setup.casFile = console.valueText(cassette);
    if (BreaksALine(setup.casFile)) return UsageError(console, "bad cassette path: a line end or NUL");
    std::string error;
    if (!LoadCassette(cassette, seconds, setup.songs, error)) {
        console.err(error);
        return kExitFailed;
    }
    if (setup.songs.empty()) {
        console.err("cassette " + cassette + " holds no songs");
        return kExitFailed;
    }
    setup.how = how;
    setup.quitAfter = quitAfter;
    Player player(std::move(setup), console.out, console.err);
    if (!player.Start(error)) {
        console.err(error);
        return kExitFailed;
    }
    return console.run(player);
}

}  // namespace

std::vector<std::string> Usage() {
    return {
        "SorbelStandIn: writes the [VISTEL] section of a Sorbel.ini as the player would.",
        "",
        "  SorbelStandIn set <ini> <Key>=<Value> [<Key>=<Value> ...]",
        "      Sets keys of [VISTEL] in one replacement of the file; every other byte stays.",
        "      Keys: " + KeyNames(),
        "      ColorNum, Visible, PlayingIndex, Count, How, Play and Stop take decimal integers.",
        "  SorbelStandIn show <ini>",
        "      Prints the keys as Vistel reads them, defaults marked.",
        "  SorbelStandIn play <ini> <cassette.cas> [--seconds N] [--quit-after S] [--how 0|1|2]",
        "      Plays the cassette's songs, N seconds each (default: 20 to 60, by position),",
        "      and obeys How at the end of each song: 0 the next song (after the last:",
        "      stop, wound back to the first), 1 the same again, 2 stop on that song.",
        "      Commands on standard input, one per line: p pause/resume (play when",
        "      stopped), n next song (after the last, the first), q quit.",
        "      Quitting (q, --quit-after, Ctrl-C, end of input while not playing) writes",
        "      Visible=0 and Play=0.",
        "",
        "Exit codes: 0 done, 1 a file could not be read or written, 2 a wrong command line.",
    };
}

int Main(const std::vector<std::string>& args, const Console& console) {
    if (args.empty()) {
        for (const std::string& line : Usage()) console.err(line);
        return kExitUsage;
    }
    const std::string& command = args[0];
    if (command == "help" || command == "--help" || command == "-h" || command == "/?") {
        for (const std::string& line : Usage()) console.out(line);
        return kExitOk;
    }
    if (command == "set") return RunSet(args, console);
    if (command == "show") return RunShow(args, console);
    if (command == "play") return RunPlay(args, console);
    return UsageError(console, "unknown command " + Quoted(command));
}

}  // namespace standin
