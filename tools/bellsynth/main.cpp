// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Renders the shipped chime sets, or single bell notes for listening checks.

#include "ChimeSets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace bellsynth;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: bellsynth --set NAME DIR\n"
                         "       bellsynth --note NOTE [--timbre NAME] [--seconds S] FILE\n"
                         "       bellsynth --describe\n");
    return 2;
}

// One line per bell, strike and melody, for the listening check to know what to expect.
int describe()
{
    for (const ChimeSetScore& set : chimeSetScores()) {
        std::printf("set %s\n", set.name.c_str());
        std::vector<std::string> seen;
        for (const auto& change : set.changes)
            for (const std::string& note : change)
                if (std::find(seen.begin(), seen.end(), note) == seen.end()) {
                    seen.push_back(note);
                    std::printf("bell %s %s %s\n", set.name.c_str(), set.timbre.c_str(), note.c_str());
                }
        std::printf("strike %s %s %s %s\n", set.name.c_str(), set.strikeFile.c_str(),
                    set.strikeTimbre.c_str(), set.strikeNote.c_str());
        for (const QuarterScore& q : set.quarters) {
            std::vector<std::string> bells;
            const auto strokes = quarterStrokes(set, q, bells);
            if (!strokes.empty())
                std::printf("melody %s %d %s %s\n", set.name.c_str(), q.minute, q.file.c_str(),
                            bells[static_cast<std::size_t>(strokes.front().bell)].c_str());
        }
    }
    return 0;
}

int note(const std::vector<std::string>& args)
{
    std::string noteName, timbreName = "clock", file;
    double seconds = 3.0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--note" && i + 1 < args.size())
            noteName = args[++i];
        else if (args[i] == "--timbre" && i + 1 < args.size())
            timbreName = args[++i];
        else if (args[i] == "--seconds" && i + 1 < args.size())
            seconds = std::strtod(args[++i].c_str(), nullptr);
        else if (file.empty() && args[i].rfind("--", 0) != 0)
            file = args[i];
        else
            return usage();
    }
    const BellTimbre* timbre = timbreNamed(timbreName);
    if (!timbre) {
        std::fprintf(stderr, "bellsynth: unknown timbre %s\n", timbreName.c_str());
        return 1;
    }
    if (!noteFrequency(noteName)) {
        std::fprintf(stderr, "bellsynth: not a note: %s\n", noteName.c_str());
        return 1;
    }
    if (file.empty() || !(seconds > 0.05 && seconds <= 60.0))
        return usage();
    if (!writeFlac(file, renderNote(noteName, *timbre, seconds, std::min(0.5, seconds / 4)))) {
        std::fprintf(stderr, "bellsynth: cannot write %s\n", file.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--describe")
        return describe();
    if (args.size() == 3 && args[0] == "--set") {
        const ChimeSetScore* set = scoreNamed(args[1]);
        if (!set) {
            std::fprintf(stderr, "bellsynth: unknown chime set %s\n", args[1].c_str());
            return 1;
        }
        std::string error;
        if (!writeSet(*set, args[2], error)) {
            std::fprintf(stderr, "bellsynth: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (!args.empty() && args[0] == "--note")
        return note(args);
    return usage();
}
