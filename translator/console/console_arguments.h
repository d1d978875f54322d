#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Options given as flags; each one set overrides its settings key for the run.
struct OptionFlags {
    std::optional<bool> convertall;
    std::optional<int64_t> convertfrom;
    std::optional<int64_t> convertto;
    std::optional<bool> slice;
    std::optional<int32_t> bytes;
    std::optional<bool> pcapnanoseconds;
    std::optional<bool> pcapbyteswapped;
    std::optional<bool> pcapmodified;
    std::optional<bool> pcapremoveatm;
    std::optional<bool> pcapfcs;
    std::optional<bool> hexdumpextended;
    std::optional<bool> offsetFile;
    std::optional<int32_t> jobs;

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
};

// Parses argv[1..argc-1]. False for an unknown flag or a bad value, with
// *error naming the first ("\r\n"-ended); the operands are taken all the same.
bool ParseConsoleArguments(int argc, char** argv, ConsoleArguments* arguments, std::string* error);

}  // namespace translator
