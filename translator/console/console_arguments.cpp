#include "console_arguments.h"

#include <strings.h>

#include <cstring>

namespace translator {

namespace {

// The historical ways of asking for the usage, as the first operand.
bool IsUsageRequest(const std::string& argument) {
    return argument == "/help" || argument == "/?" || argument == "-?" || argument == "-help";
}

struct RunFlag {
    const char* name;
    bool ConsoleArguments::*field;
};

const RunFlag kRunFlags[] = {
    {"--no-settings", &ConsoleArguments::noSettings},
    {"--strict", &ConsoleArguments::strict},
    {"--quiet", &ConsoleArguments::quiet},
    {"-q", &ConsoleArguments::quiet},
    {"--recursive", &ConsoleArguments::recursive},
    {"-r", &ConsoleArguments::recursive},
    {"--json", &ConsoleArguments::json},
};

// "K/N": shard K of N, counted from 0.
bool ParseShard(const std::string& value, ConsoleArguments* arguments) {
    const size_t slash = value.find('/');
    int64_t index = 0;
    int64_t count = 0;
    if (slash == std::string::npos || !ParseCount(value.substr(0, slash), &index) ||
        !ParseCount(value.substr(slash + 1), &count) || count < 1 || index >= count) {
        return false;
    }
    arguments->shard = Shard{static_cast<size_t>(index), static_cast<size_t>(count)};
    return true;
}

// A file to write the lines to; not "-", as standard output carries the run's
// own report, or the capture.
bool ParseReportFile(const std::string& value, ConsoleArguments* arguments) {
    if (value.empty() || value == "-") {
        return false;
    }
    arguments->reportJson = value;
    return true;
}

// A flag of the run that takes a value.
struct ValueFlag {
    const char* name;
    const char* takes;
    bool (*parse)(const std::string& value, ConsoleArguments* arguments);
};

const ValueFlag kValueFlags[] = {
    {"--shard", "K/N (shard K from 0 to N-1 of N)", ParseShard},
    {"--report-json", "a file name (standard output carries the run's report)", ParseReportFile},
};

struct ActionFlag {
    const char* name;
    ConsoleAction action;
};

const ActionFlag kActionFlags[] = {
    {"--help", ConsoleAction::kHelp},       {"-h", ConsoleAction::kHelp},
    {"--version", ConsoleAction::kVersion}, {"--list-formats", ConsoleAction::kListFormats},
    {"--info", ConsoleAction::kInfo},
};

// One flag at argv[*i]; value flags may take the next argument.
bool ParseFlag(int argc, char** argv, int* i, ConsoleArguments* arguments, std::string* error) {
    const std::string argument = argv[*i];
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? argument.substr(equals + 1) : std::string();

    // The value of a flag that takes one, given after "=" or as the next argument.
    auto valueOf = [&](const char* takes, std::string* text) {
        *text = value;
        if (hasValue) {
            return true;
        }
        if (*i + 1 >= argc) {
            *error = "Option " + name + " needs a value: " + takes + ".\r\n";
            return false;
        }
        *text = argv[++*i];
        return true;
    };
    auto refuse = [&](const char* takes, const std::string& text) {
        *error = "Option " + name + " takes " + takes + ", not '" + text + "'.\r\n";
        return false;
    };
    if (const OptionRow* row = OptionByFlag(name)) {
        std::string text = value;
        if (!IsSwitch(*row) && !valueOf(row->takes, &text)) {
            return false;
        }
        // Checked now, so that a bad value is refused before anything is touched.
        ConvertOptions trial;
        if (!ApplyFlag(*row, text, trial)) {
            return refuse(IsSwitch(*row) ? "0 or 1" : row->takes, text);
        }
        arguments->options.given.emplace_back(row, text);
        return true;
    }
    for (const ValueFlag& flag : kValueFlags) {
        if (name == flag.name) {
            std::string text;
            if (!valueOf(flag.takes, &text)) {
                return false;
            }
            return flag.parse(text, arguments) || refuse(flag.takes, text);
        }
    }
    if (!hasValue) {
        for (const RunFlag& flag : kRunFlags) {
            if (argument == flag.name) {
                arguments->*flag.field = true;
                return true;
            }
        }
        for (const ActionFlag& flag : kActionFlags) {
            if (argument == flag.name) {
                // The first action asked for wins; --help is never overruled.
                if (arguments->action == ConsoleAction::kConvert ||
                    flag.action == ConsoleAction::kHelp) {
                    arguments->action = flag.action;
                }
                return true;
            }
        }
    }
    *error = "Unknown option '" + argument + "'. translator --help lists the options.\r\n";
    return false;
}

bool IsFlag(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

}  // namespace

void OptionFlags::ApplyTo(ConvertOptions& options) const {
    for (const auto& [row, value] : given) {
        ApplyFlag(*row, value, options);
    }
}

bool ParseConsoleArguments(int argc, char** argv, ConsoleArguments* arguments, std::string* error) {
    if (argc > 1 && IsUsageRequest(argv[1])) {
        arguments->action = ConsoleAction::kUsage;
        return true;
    }
    // The operands are all taken even past a bad flag: the destination says
    // where the error goes.
    std::string flagError;
    bool flagsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!flagsEnded && argument == "--") {
            flagsEnded = true;
        } else if (!flagsEnded && IsFlag(argument)) {
            std::string thisError;
            if (!ParseFlag(argc, argv, &i, arguments, &thisError) && flagError.empty()) {
                flagError = thisError;
            }
        } else {
            arguments->operands.push_back(argument);
        }
    }
    if (!flagError.empty()) {
        *error = flagError;
        return false;
    }
    const size_t count = arguments->operands.size();
    switch (arguments->action) {
        case ConsoleAction::kConvert:
            if (count != 3 && count != 4) {
                arguments->action = ConsoleAction::kUsage;
            } else if (count == 4 &&
                       strcasecmp(arguments->operands[3].c_str(), "/offsetfile") == 0) {
                arguments->options.given.emplace_back(OptionByFlag("--offset-file"), "1");
            }
            break;
        case ConsoleAction::kInfo:
            if (count == 0) {
                *error = "Option --info needs at least one file.\r\n";
                return false;
            }
            break;
        default:
            break;
    }
    if (arguments->json && arguments->action != ConsoleAction::kInfo) {
        *error = "Option --json goes with --info.\r\n";
        return false;
    }
    return true;
}

}  // namespace translator
