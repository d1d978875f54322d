#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/conversion_run.h"
#include "app/option_table.h"
#include "engine/convert_options.h"

namespace translator {

// What a console run is asked to do.
enum class ConsoleAction {
    kConvert,
    kUsage,  // the historical usage: wrong operand count or a "/help"-style first operand
    kHelp,
    kVersion,
    kListFormats,
    kInfo,
};

// Options given as flags, each with its value as given; each overrides its
// settings key for the run.
struct OptionFlags {
    std::vector<std::pair<const OptionRow*, std::string>> given;

    void ApplyTo(ConvertOptions& options) const;
};

// The command line split into its operands and flags. Flags may come before,
// between or after the operands; "--" ends them.
struct ConsoleArguments {
    ConsoleAction action = ConsoleAction::kConvert;
    // source, destination and format, and an optional historical switch; for
    // --info the files to describe.
    std::vector<std::string> operands;
    OptionFlags options;
    bool noSettings = false;
    bool strict = false;
    bool quiet = false;
    bool recursive = false;
    bool json = false;
    // The part of a folder's files this run converts.
    std::optional<Shard> shard;
    // Where one JSON line a file goes; empty for none.
    std::string reportJson;
};

// Parses argv[1..argc-1]. False for an unknown flag or a bad value, with
// *error naming the first ("\r\n"-ended); the operands are taken all the same.
bool ParseConsoleArguments(int argc, char** argv, ConsoleArguments* arguments, std::string* error);

}  // namespace translator
