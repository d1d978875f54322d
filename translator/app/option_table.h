#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "engine/convert_options.h"

namespace translator {

// The field of the options an option sets.
using OptionField = std::variant<bool ConvertOptions::*, int32_t ConvertOptions::*,
                                 int64_t ConvertOptions::*, std::string ConvertOptions::*>;

// One option of a conversion: where the settings file keeps it, the console
// flag that overrides it for one run, the values it takes and its help.
// Defaults are those of ConvertOptions.
struct OptionRow {
    const char* key;   // settings key; null for a flag of the run only
    const char* flag;  // console flag; null for a key the window sets
    OptionField field;
    // Numbers: the values the option takes besides its default. A flag takes
    // exactly these; the settings file also takes the default.
    int64_t min = 0;
    int64_t max = 0;
    // A flag that sets more than its field (--range, --slice): parses text
    // into options; false when text is not what the flag takes.
    bool (*parseFlag)(const std::string& text, ConvertOptions& options) = nullptr;
    const char* value = "";       // the flag's value as the help names it: "BYTES"
    const char* takes = "";       // what the flag's value must be, for its refusal
    const char* help = "";        // the help line; "\n" continues it
    bool writtenWhenSet = false;  // in the settings file only when not the default
};

// A decimal count as a flag gives it: digits only.
bool ParseCount(const std::string& text, int64_t* value);

// Every option, in the order of the settings file.
std::span<const OptionRow> OptionTable();
// The row of a settings key (any case) or of a flag; null when none has it.
const OptionRow* OptionByKey(const std::string& key);
const OptionRow* OptionByFlag(const std::string& flag);

// Applies a settings value; what is wrong with it ("is not a number; taken
// as 12"), or an empty text.
std::string ApplySetting(const OptionRow& row, const std::string& value, ConvertOptions& options);
// The settings line of a row ("pcapfcs=1\r\n"); empty for a row written only
// when set that holds its default.
std::string SettingLine(const OptionRow& row, const ConvertOptions& options);
// Applies a flag's value: for a switch "", "0" or "1"; false when the flag
// does not take it.
bool ApplyFlag(const OptionRow& row, const std::string& value, ConvertOptions& options);
// A switch: a flag that takes no value or "=0"/"=1".
bool IsSwitch(const OptionRow& row);
// The flag as the help and the documentation show it: "--slice BYTES".
std::string FlagSyntax(const OptionRow& row);
// The help lines of every flag, "\n"-ended, the flags' column 24 wide.
std::string OptionHelp();

}  // namespace translator
