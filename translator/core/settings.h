#pragma once

#include <cstddef>
#include <string>

#include "convert_options.h"

namespace translator {

// Largest part of the settings file that is read, and largest text written.
constexpr size_t kSettingsLimit = 10240;

// The settings file of a program: its file name with the extension replaced
// by ".config", or with ".config" appended when it has none.
std::string SettingsPath(const std::string& programPath);
// Path of the running program.
std::string ProgramPath();
// Folder of the running program with its trailing '/', where the run-time
// libraries are looked for first; empty when the path is unknown.
std::string ProgramFolder();

// Applies the key=value lines of text; a missing or malformed pair leaves
// the option as it was.
void ParseSettings(const char* text, size_t length, ConvertOptions& options);
// Missing or unreadable files leave the options as they are.
void LoadSettings(const std::string& path, ConvertOptions& options);
std::string FormatSettings(const ConvertOptions& options);
// Failures are silent: the settings are a convenience, never an error.
void SaveSettings(const std::string& path, const ConvertOptions& options);

}  // namespace translator
