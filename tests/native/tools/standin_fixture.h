// The stand-in on an in-memory file system, with its console captured.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/files.h"
#include "framework/ini.h"
#include "framework/memory/memory_files.h"
#include "standin/commands.h"
#include "standin/player.h"

namespace standin::testing_support {

inline constexpr const char kIni[] = "C:\\Sorbel\\Sorbel.ini";

class StandInTest : public ::testing::Test {
protected:
    StandInTest() : previous_(fw::SetFiles(&files_)) {}
    ~StandInTest() override { fw::SetFiles(previous_); }

    // Runs the command line; `run` stands in for the real-time loop of play.
    int Run(const std::vector<std::string>& args) {
        Console console;
        console.out = [this](const std::string& line) { out_.push_back(line); };
        console.err = [this](const std::string& line) { err_.push_back(line); };
        console.valueText = valueText_;
        console.run = [this](Player& player) {
            ++runs_;
            return run_ ? run_(player) : 0;
        };
        return Main(args, console);
    }

    std::string File() const { return files_.Get(kIni).value_or("<no file>"); }

    // The value of a key of [VISTEL] as it stands in the file.
    std::optional<std::string> Value(const std::string& key) const {
        std::string file = File();
        std::optional<std::string_view> value = fw::IniFindValue(file, "VISTEL", key);
        return value ? std::optional<std::string>(*value) : std::nullopt;
    }

    // A write of Vistel's (How on a click, ColorNum at close) between two seconds.
    void VistelWrites(const std::string& key, const std::string& value) {
        files_.Put(kIni, fw::IniSetValue(File(), "VISTEL", key, value));
    }

    std::string Joined(const std::vector<std::string>& lines) const {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        return text;
    }

    fw::MemoryFileSystem files_;
    std::vector<std::string> out_;
    std::vector<std::string> err_;
    std::function<std::string(const std::string&)> valueText_ = [](const std::string& text) { return text; };
    std::function<int(Player&)> run_;
    int runs_ = 0;

private:
    fw::FileSystem* previous_;
};

}  // namespace standin::testing_support
