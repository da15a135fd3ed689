// Fuzzes the line list of playlists against a plain reference: the input's
// first byte chooses a block size and the edits, the rest is a file's bytes
// (CR, LF, NUL, lone lead bytes, anything).  The list must split the bytes
// as a byte-by-byte loop does, keep every line through replacements in
// place, moves and copies of its own lines, and write exactly the lines
// with CR LF, in blocks of the chosen size; that text splits back into the
// same lines when none holds a CR or LF.
//
// Literals here stay ASCII: this file is built with clang, which cannot store
// them as code page 932.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "framework/stringlist.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

using Lines = std::vector<std::string>;

Lines ReferenceSplit(std::string_view text) {
    Lines lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            open = true;
            continue;
        }
        lines.push_back(line);
        line.clear();
        open = false;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (open) lines.push_back(line);
    return lines;
}

std::string ReferenceText(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    Lines model = ReferenceSplit(text);
    Check(fw::SplitLines(text) == model);
    fw::TStrings list;
    list.Add("old");
    list.SetText(text);
    Check(list.Lines() == model);
    Check(list.Text() == ReferenceText(model));
    for (const std::string& line : model) Check(line.find_first_of("\r\n") == std::string::npos);
    Check(fw::SplitLines(list.Text()) == model);

    // Edits chosen by the text's own bytes: shorter (in place), longer
    // (moved), a copy of another line of the list, a new line.
    for (std::size_t i = 0; i < model.size() && i < 64; ++i) {
        const auto byte = static_cast<unsigned char>(text[i % text.size()]);
        const int index = static_cast<int>(i);
        switch ((byte + control) % 4) {
        case 0: model[i] = model[i].substr(0, byte % (model[i].size() + 1)); list.Put(index, model[i]); break;
        case 1: model[i] += model[(i + byte) % model.size()] + "x"; list.Put(index, model[i]); break;
        case 2: {
            const std::size_t from = (i + byte) % model.size();
            model[i] = model[from];
            list.Put(index, list[static_cast<int>(from)]);
            break;
        }
        default: model.push_back(std::string(byte % 8, static_cast<char>(byte))); list.Add(model.back());
        }
    }
    Check(list.Count() == static_cast<int>(model.size()));
    Check(list.Lines() == model);

    const std::size_t blockSize = 2 + control % 64;
    std::string written;
    Check(list.WriteText(
        [&](std::string_view block) {
            Check(!block.empty());
            if (block.size() > blockSize) {
                bool wholeLine = false;
                for (const std::string& line : model) wholeLine = wholeLine || line == block;
                Check(wholeLine);
            }
            written.append(block);
            return true;
        },
        blockSize));
    Check(written == ReferenceText(model));
    Check(list.Text() == written);
    return 0;
}
