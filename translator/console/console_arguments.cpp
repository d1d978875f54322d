#include "console_arguments.h"

#include <strings.h>

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "app/folder_jobs.h"

namespace translator {

namespace {

// The historical ways of asking for the usage, as the first operand.
bool IsUsageRequest(const std::string& argument) {
    return argument == "/help" || argument == "/?" || argument == "-?" || argument == "-help";
}

bool ParseCount(const std::string& text, int64_t* value) {
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') {
        return false;
    }
    *value = parsed;
    return true;
}

// "FROM-TO" or "FROM-" (to the last frame), frame numbers counted from 1.
bool ParseRange(const std::string& text, OptionFlags* flags) {
    const size_t dash = text.find('-');
    if (dash == std::string::npos) {
        return false;
    }
    int64_t from = 0;
    int64_t to = INT64_MAX;
    if (!ParseCount(text.substr(0, dash), &from) || from < 1) {
        return false;
    }
    if (dash + 1 < text.size() && (!ParseCount(text.substr(dash + 1), &to) || to < from)) {
        return false;
    }
    flags->convertall = false;
    flags->convertfrom = from;
    flags->convertto = to;
    return true;
}

bool ParseSlice(const std::string& text, OptionFlags* flags) {
    int64_t bytes = 0;
    if (!ParseCount(text, &bytes) || bytes < 1 || bytes > INT32_MAX) {
        return false;
    }
    flags->slice = true;
    flags->bytes = static_cast<int32_t>(bytes);
    return true;
}

bool ParseJobs(const std::string& text, OptionFlags* flags) {
    int64_t jobs = 0;
    if (!ParseCount(text, &jobs) || jobs < 1 || jobs > kMaxJobs) {
        return false;
    }
    flags->jobs = static_cast<int32_t>(jobs);
    return true;
}

struct SwitchFlag {
    const char* name;
    std::optional<bool> OptionFlags::*field;
};

const SwitchFlag kSwitchFlags[] = {
    {"--pcap-nanoseconds", &OptionFlags::pcapnanoseconds},
    {"--pcap-swapped", &OptionFlags::pcapbyteswapped},
    {"--pcap-modified", &OptionFlags::pcapmodified},
    {"--pcap-remove-atm", &OptionFlags::pcapremoveatm},
    {"--pcap-fcs", &OptionFlags::pcapfcs},
    {"--hexdump-extended", &OptionFlags::hexdumpextended},
    {"--offset-file", &OptionFlags::offsetFile},
};

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

struct ActionFlag {
    const char* name;
    ConsoleAction action;
};

const ActionFlag kActionFlags[] = {
    {"--help", ConsoleAction::kHelp},       {"-h", ConsoleAction::kHelp},
    {"--version", ConsoleAction::kVersion}, {"--list-formats", ConsoleAction::kListFormats},
    {"--info", ConsoleAction::kInfo},
};

using ValueParser = bool (*)(const std::string&, OptionFlags*);

struct ValueFlag {
    const char* name;
    ValueParser parse;
    const char* takes;
};

const ValueFlag kValueFlags[] = {
    {"--range", ParseRange, "FROM-TO or FROM- (frame numbers from 1)"},
    {"--slice", ParseSlice, "a number of bytes from 1"},
    {"--jobs", ParseJobs, "a number of files from 1 to 256"},
};

// One flag at argv[*i]; value flags may take the next argument.
bool ParseFlag(int argc, char** argv, int* i, ConsoleArguments* arguments, std::string* error) {
    const std::string argument = argv[*i];
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? argument.substr(equals + 1) : std::string();

    for (const ValueFlag& flag : kValueFlags) {
        if (name != flag.name) {
            continue;
        }
        std::string text = value;
        if (!hasValue) {
            if (*i + 1 >= argc) {
                *error = "Option " + name + " needs a value: " + flag.takes + ".\r\n";
                return false;
            }
            text = argv[++*i];
        }
        if (!flag.parse(text, &arguments->options)) {
            *error = "Option " + name + " takes " + flag.takes + ", not '" + text + "'.\r\n";
            return false;
        }
        return true;
    }
    for (const SwitchFlag& flag : kSwitchFlags) {
        if (name != flag.name) {
            continue;
        }
        if (hasValue && value != "0" && value != "1") {
            *error = "Option " + name + " takes 0 or 1, not '" + value + "'.\r\n";
            return false;
        }
        arguments->options.*flag.field = !hasValue || value == "1";
        return true;
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

void OptionFlags::ApplyTo(ConvertOptions& o) const {
    auto apply = [](const auto& flag, auto& field) {
        if (flag) {
            field = *flag;
        }
    };
    apply(convertall, o.convertall);
    apply(convertfrom, o.convertfrom);
    apply(convertto, o.convertto);
    apply(slice, o.slice);
    apply(bytes, o.bytes);
    apply(pcapnanoseconds, o.pcapnanoseconds);
    apply(pcapbyteswapped, o.pcapbyteswapped);
    apply(pcapmodified, o.pcapmodified);
    apply(pcapremoveatm, o.pcapremoveatm);
    apply(pcapfcs, o.pcapfcs);
    apply(hexdumpextended, o.hexdumpextended);
    apply(offsetFile, o.offsetFile);
    apply(jobs, o.jobs);
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
                arguments->options.offsetFile = true;
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
