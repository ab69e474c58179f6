// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/loginitems/AutostartEntry.h"

#include <algorithm>
#include <glib.h>
#include <memory>

namespace platform::autostart {

namespace {

bool isPlainFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string takeString(gchar* value)
{
    std::string result = value ? value : "";
    g_free(value);
    return result;
}

} // namespace

std::string execLine(const std::string& program)
{
    auto quote = [](const std::string& argument) {
        std::string quoted("\"");
        for (const char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
            // Percent signs are field codes to the launcher, inside quotes too.
            if (c == '%')
                quoted += '%';
        }
        return quoted + '"';
    };
    // GLib looks the first word up before it expands "%%", and so refuses an entry whose program has a
    // percent sign; as a later argument the path passes, and the shell hands it on unchanged as argv[0].
    if (program.find('%') != std::string::npos)
        return "/bin/sh -c " + quote("exec \"$0\"") + ' ' + quote(program);
    return quote(program);
}

std::vector<std::string> wordsOfExec(const std::string& exec)
{
    // Field codes expand to nothing without files, "%%" is a percent sign, and the rest is split by the
    // shell-like rules GLib's launcher uses.
    std::string expanded;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '%' && i + 1 < exec.size()) {
            if (exec[++i] == '%')
                expanded += '%';
        } else {
            expanded += exec[i];
        }
    }
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(expanded.c_str(), nullptr, &argv, nullptr))
        return {};
    std::vector<std::string> words;
    for (gchar** word = argv; *word; ++word)
        words.emplace_back(*word);
    g_strfreev(argv);
    return words;
}

bool runsItsPath(const std::string& exec, const std::string& itemPath)
{
    std::string own = itemPath;
    while (own.size() > 1 && own.back() == '/')
        own.pop_back();
    const std::vector<std::string> words = wordsOfExec(exec);
    std::string program;
    if (words.size() == 1)
        program = words[0];
    else if (words.size() == 4 && words[0] == "/bin/sh" && words[1] == "-c" && words[2] == "exec \"$0\"")
        program = words[3];
    const std::string inBundle = own + "/Contents/Linux/";
    const bool named = program == own || (endsWith(own, ".app") && startsWith(program, inBundle) &&
                                          isPlainFileName(program.substr(inBundle.size())));
    return named && exec == execLine(program);
}

std::optional<std::string> ownItemPath(const std::string& entryText)
{
    const std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(), g_key_file_free);
    if (!g_key_file_load_from_data(file.get(), entryText.data(), entryText.size(), G_KEY_FILE_NONE, nullptr))
        return std::nullopt;
    if (takeString(g_key_file_get_string(file.get(), entryGroup, "Type", nullptr)) != "Application")
        return std::nullopt;
    const std::string path = takeString(g_key_file_get_string(file.get(), entryGroup, keyItemPath, nullptr));
    const std::string exec = takeString(g_key_file_get_string(file.get(), entryGroup, "Exec", nullptr));
    if (path.empty() || !runsItsPath(exec, path))
        return std::nullopt;
    return path;
}

} // namespace platform::autostart
