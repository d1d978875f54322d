#include "option_table.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace translator {

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

namespace {

// "FROM-TO" or "FROM-" (to the last frame), frame numbers counted from 1.
bool ParseRange(const std::string& text, ConvertOptions& options) {
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
    options.convertall = false;
    options.convertfrom = from;
    options.convertto = to;
    return true;
}

bool ParseSlice(const std::string& text, ConvertOptions& options) {
    int64_t bytes = 0;
    if (!ParseCount(text, &bytes) || bytes < 1 || bytes > INT32_MAX) {
        return false;
    }
    options.slice = true;
    options.bytes = static_cast<int32_t>(bytes);
    return true;
}

using O = ConvertOptions;

const ConvertOptions kDefaults;

const OptionRow kOptions[] = {
    {.key = "convertall",
     .flag = "--range",
     .field = &O::convertall,
     .parseFlag = ParseRange,
     .value = "FROM-TO",
     .takes = "FROM-TO or FROM- (frame numbers from 1)",
     .help = "convert frames FROM to TO only (FROM- : to the last)"},
    {.key = "convertfrom",
     .flag = nullptr,
     .field = &O::convertfrom,
     .min = INT64_MIN,
     .max = INT64_MAX},
    {.key = "convertto",
     .flag = nullptr,
     .field = &O::convertto,
     .min = INT64_MIN,
     .max = INT64_MAX},
    {.key = "slice",
     .flag = "--slice",
     .field = &O::slice,
     .parseFlag = ParseSlice,
     .value = "BYTES",
     .takes = "a number of bytes from 1",
     .help = "keep at most BYTES bytes of each frame"},
    {.key = "bytes", .flag = nullptr, .field = &O::bytes, .min = INT32_MIN, .max = INT32_MAX},
    {.key = "pcapbyteswapped",
     .flag = "--pcap-swapped",
     .field = &O::pcapbyteswapped,
     .help = "pcap output big-endian (1, the default) or\nlittle-endian (0)"},
    {.key = "pcapmodified",
     .flag = "--pcap-modified",
     .field = &O::pcapmodified,
     .help = "pcap output in the modified (extended record) layout"},
    {.key = "pcapremoveatm",
     .flag = "--pcap-remove-atm",
     .field = &O::pcapremoveatm,
     .help = "pcap output without the ATM pseudo-header"},
    {.key = "pcapnanoseconds",
     .flag = "--pcap-nanoseconds",
     .field = &O::pcapnanoseconds,
     .help = "pcap output with nanosecond times"},
    {.key = "hexdumpextended",
     .flag = "--hexdump-extended",
     .field = &O::hexdumpextended,
     .help = "extended HexDump output"},
    {.key = "sourcedir", .flag = nullptr, .field = &O::sourcedir},
    {.key = "destdir", .flag = nullptr, .field = &O::destdir},
    {.key = "format", .flag = nullptr, .field = &O::format},
    {.key = "pcapfcs",
     .flag = "--pcap-fcs",
     .field = &O::pcapfcs,
     .help = "frames in pcap and pcapng files carry their FCS",
     .writtenWhenSet = true},
    {.key = "jobs",
     .flag = "--jobs",
     .field = &O::jobs,
     .min = 1,
     .max = kMaxJobs,
     .value = "N",
     .takes = "a number of files from 1 to 256",
     .help = "convert N files of a folder at once (default: one per\n"
             "core; the report is the same for any N)",
     .writtenWhenSet = true},
    {.key = nullptr,
     .flag = "--offset-file",
     .field = &O::offsetFile,
     .help = "write a .offset side file too (as /offsetfile)"},
};

// The blanks a hand edit may leave after a value.
std::string Trimmed(const std::string& value) {
    const size_t end = value.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : value.substr(0, end + 1);
}

std::string ApplyBool(const std::string& value, bool& field) {
    const std::string given = Trimmed(value);
    static const char* const kWords[] = {"yes", "true", "on", "no", "false", "off"};
    for (size_t i = 0; i < std::size(kWords); ++i) {
        if (strcasecmp(given.c_str(), kWords[i]) == 0) {
            field = i < 3;
            return std::string();
        }
    }
    field = !value.empty() && value[0] == '1';
    return given == "0" || given == "1"
               ? std::string()
               : std::string("is not 0 or 1; taken as ") + (field ? "1" : "0");
}

// The field takes the number the value starts with, as a C library scan
// would; values outside the row's range give way to the default.
template <typename Number>
std::string ApplyNumber(const OptionRow& row, const std::string& value, Number& field,
                        Number defaultValue) {
    long long scanned = 0;
    if (sscanf(value.c_str(), "%lld", &scanned) == 1) {
        field = static_cast<Number>(std::clamp<long long>(
            scanned, std::numeric_limits<Number>::min(), std::numeric_limits<Number>::max()));
    }
    const std::string given = Trimmed(value);
    errno = 0;
    char* end = nullptr;
    const long long parsed = strtoll(given.c_str(), &end, 10);
    const char* problem = nullptr;
    if (given.empty() || *end != '\0') {
        problem = "is not a number";
    } else if (errno == ERANGE || parsed < std::numeric_limits<Number>::min() ||
               parsed > std::numeric_limits<Number>::max()) {
        problem = "is out of range";
    } else if (parsed != defaultValue && (parsed < row.min || parsed > row.max)) {
        field = defaultValue;
        problem = "is out of range";
    } else {
        return std::string();
    }
    char text[80];
    snprintf(text, sizeof text, "%s; taken as %lld", problem, static_cast<long long>(field));
    return text;
}

}  // namespace

std::span<const OptionRow> OptionTable() {
    return kOptions;
}

const OptionRow* OptionByKey(const std::string& key) {
    for (const OptionRow& row : kOptions) {
        if (row.key != nullptr && strcasecmp(row.key, key.c_str()) == 0) {
            return &row;
        }
    }
    return nullptr;
}

const OptionRow* OptionByFlag(const std::string& flag) {
    for (const OptionRow& row : kOptions) {
        if (row.flag != nullptr && flag == row.flag) {
            return &row;
        }
    }
    return nullptr;
}

std::string ApplySetting(const OptionRow& row, const std::string& value, ConvertOptions& options) {
    return std::visit(
        [&](auto member) -> std::string {
            auto& field = options.*member;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, bool>) {
                return ApplyBool(value, field);
            } else if constexpr (std::is_same_v<Field, std::string>) {
                if (value.size() <= kMaxOptionText) {
                    field = value;
                    return std::string();
                }
                char text[80];
                snprintf(text, sizeof text, "is longer than %zu characters; not taken",
                         kMaxOptionText);
                return text;
            } else {
                return ApplyNumber<Field>(row, value, field, kDefaults.*member);
            }
        },
        row.field);
}

std::string SettingLine(const OptionRow& row, const ConvertOptions& options) {
    return std::visit(
        [&](auto member) -> std::string {
            const auto& field = options.*member;
            using Field = std::remove_cvref_t<decltype(field)>;
            if (row.key == nullptr || (row.writtenWhenSet && field == kDefaults.*member)) {
                return std::string();
            }
            std::string text = std::string(row.key) + "=";
            if constexpr (std::is_same_v<Field, bool>) {
                text += field ? "1" : "0";
            } else if constexpr (std::is_same_v<Field, std::string>) {
                text += field.substr(0, kMaxOptionText);
            } else {
                text += std::to_string(field);
            }
            return text + "\r\n";
        },
        row.field);
}

bool IsSwitch(const OptionRow& row) {
    return row.parseFlag == nullptr && std::holds_alternative<bool ConvertOptions::*>(row.field);
}

bool ApplyFlag(const OptionRow& row, const std::string& value, ConvertOptions& options) {
    if (row.parseFlag != nullptr) {
        return row.parseFlag(value, options);
    }
    if (IsSwitch(row)) {
        if (!value.empty() && value != "0" && value != "1") {
            return false;
        }
        options.*std::get<bool ConvertOptions::*>(row.field) = value != "0";
        return true;
    }
    int64_t number = 0;
    if (!ParseCount(value, &number) || number < row.min || number > row.max) {
        return false;
    }
    std::visit(
        [&](auto member) {
            auto& field = options.*member;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_integral_v<Field> && !std::is_same_v<Field, bool>) {
                field = static_cast<Field>(number);
            }
        },
        row.field);
    return true;
}

std::string FlagSyntax(const OptionRow& row) {
    if (!IsSwitch(row)) {
        return std::string(row.flag) + " " + row.value;
    }
    // A switch that is on by default is turned off with "=0".
    const bool onByDefault = kDefaults.*std::get<bool ConvertOptions::*>(row.field);
    return std::string(row.flag) + (onByDefault ? "[=0|1]" : "");
}

std::string OptionHelp() {
    constexpr size_t kColumn = 24;
    std::string help;
    for (const OptionRow& row : kOptions) {
        if (row.flag == nullptr) {
            continue;
        }
        std::string line = "  " + FlagSyntax(row);
        line.resize(std::max(kColumn, line.size() + 1), ' ');
        for (const char* c = row.help; *c != '\0'; ++c) {
            line += *c;
            if (*c == '\n') {
                line += std::string(kColumn, ' ');
            }
        }
        help += line + "\n";
    }
    return help;
}

}  // namespace translator
