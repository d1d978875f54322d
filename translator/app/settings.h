#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/convert_options.h"
#include "engine/shared_library.h"

namespace translator {

// Largest part of the settings file that is read, and largest text written.
constexpr size_t kSettingsLimit = 10240;

// The settings file of a program: its file name with the extension replaced
// by ".config", or with ".config" appended when it has none.
std::string SettingsPath(const std::string& programPath);
// The settings file of the user: veltrix-translator/translator.config in
// $XDG_CONFIG_HOME, or else in ~/.config; empty when no home is known.
std::string UserSettingsPath();
// The settings file the front ends use: programSettings where it can be
// written (or created), else the user's.
std::string ActiveSettingsPath(const std::string& programSettings);

// A line whose value is not what its key takes, and what was taken instead.
struct SettingsWarning {
    int line = 0;      // from 1
    std::string text;  // "convertall=yes is not 0 or 1; taken as 0"
};

// Applies the key=value lines of text; a missing or malformed pair leaves
// the option as it was. Values that are not what their key takes are listed
// in warnings, when given.
void ParseSettings(const char* text, size_t length, ConvertOptions& options,
                   std::vector<SettingsWarning>* warnings = nullptr);
// Missing or unreadable files leave the options as they are. warnings, when
// given, receives "Warning: PATH line N: ...\r\n" lines.
void LoadSettings(const std::string& path, ConvertOptions& options,
                  std::vector<std::string>* warnings = nullptr);
std::string FormatSettings(const ConvertOptions& options);
// Writes the file, creating its missing folders; 0, or the system's error number.
int SaveSettings(const std::string& path, const ConvertOptions& options);

}  // namespace translator
