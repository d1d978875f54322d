#include "console_info.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/conversion_run.h"
#include "engine/format_table.h"

namespace translator {

namespace {

// What a read through the file found beyond its summary.
struct ReadThrough {
    int64_t frames = 0;
    int64_t nonDataFrames = 0;
    uint32_t firstSeconds = 0;
    uint32_t firstMicros = 0;
    uint32_t lastSeconds = 0;
    uint32_t lastMicros = 0;
    std::vector<std::string> warnings;
};

ReadThrough ReadAllFrames(TraceReader& reader, const std::string& path,
                          const ConvertOptions& options) {
    ReadThrough result;
    ConvertOptions all = options;
    all.convertall = true;
    if (!reader.OpenSource(path, all)) {
        result.warnings.push_back("the file no longer opens");
        return result;
    }
    while (reader.ReadFrame()) {
        reader.info.Accumulate(reader.frame);
    }
    if (reader.LastReadStatus() == TraceReader::ReadStatus::Damaged) {
        result.warnings.push_back(reader.DamageReason());
    }
    // A reader that cannot hand out the frames it found says why in the sink.
    if (const char* messages = reader.Sink().Messages()) {
        std::string text = messages;
        while (!text.empty() &&
               (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
            text.pop_back();
        }
        if (!text.empty()) {
            result.warnings.push_back(text);
        }
    }
    const TraceInfo& info = reader.info;
    result.frames = info.framesRead;
    result.nonDataFrames = info.nonDataFrames;
    result.firstSeconds = info.firstSeconds;
    result.firstMicros = info.firstMicros;
    result.lastSeconds = info.lastSeconds;
    result.lastMicros = info.lastMicros;
    reader.Close();
    return result;
}

// "2008-06-19 05:38:58.538217" in UTC, with separator between date and time.
std::string UtcTime(uint32_t seconds, uint32_t micros, char separator) {
    const time_t value = seconds;
    struct tm utc {};
    gmtime_r(&value, &utc);
    char text[64];
    snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%06u", utc.tm_year + 1900,
             utc.tm_mon + 1, utc.tm_mday, separator, utc.tm_hour, utc.tm_min, utc.tm_sec, micros);
    return text;
}

bool IsUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80       ? 1
                              : lead >> 5 == 6  ? 2
                              : lead >> 4 == 14 ? 3
                              : lead >> 3 == 30 ? 4
                                                : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

int64_t StoredSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool HasTimes(const ReadThrough& read) {
    return read.firstSeconds != 0 || read.firstMicros != 0;
}

// Lines end in LF alone: scripts read this text, unlike the conversion report.
void PrintText(const std::string& path, const TraceInfo& info, const ReadThrough& read) {
    std::string text = SourceSummaryText(path, info);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    fputs(text.c_str(), stdout);
    printf("Frames Read:          \t%" PRId64 "\n", read.frames);
    printf("Non Data Frames Read: \t%" PRId64 "\n", read.nonDataFrames);
    if (HasTimes(read)) {
        printf("First Frame:          \t%s UTC\n",
               UtcTime(read.firstSeconds, read.firstMicros, ' ').c_str());
        printf("Last Frame:           \t%s UTC\n",
               UtcTime(read.lastSeconds, read.lastMicros, ' ').c_str());
    }
    for (const std::string& warning : read.warnings) {
        printf("Warning: %s.\n", warning.c_str());
    }
    printf("\n");
}

void PrintJson(const std::string& path, const TraceInfo& info, const ReadThrough& read) {
    std::string json = "{\"file\":" + JsonString(path);
    json += ",\"format\":" + JsonString(FormatName(info.format));
    json += ",\"code\":" + JsonString(FormatCode(info.format));
    json += ",\"interface\":" + JsonString(InterfaceName(info.interfaceType));
    json += ",\"wan\":" + JsonString(WanName(info.wanType));
    json += ",\"line_rate\":" + std::to_string(info.lineRate);
    json += ",\"frames\":" + std::to_string(read.frames);
    json += ",\"non_data_frames\":" + std::to_string(read.nonDataFrames);
    if (HasTimes(read)) {
        json += ",\"first_time\":" +
                JsonString(UtcTime(read.firstSeconds, read.firstMicros, 'T') + "Z");
        json +=
            ",\"last_time\":" + JsonString(UtcTime(read.lastSeconds, read.lastMicros, 'T') + "Z");
    } else {
        json += ",\"first_time\":null,\"last_time\":null";
    }
    json += ",\"size\":" + std::to_string(StoredSize(path));
    json += ",\"compression\":" + JsonString(CompressionName(info.compression));
    json += ",\"warnings\":[";
    for (size_t i = 0; i < read.warnings.size(); ++i) {
        if (i > 0) {
            json += ',';
        }
        json += JsonString(read.warnings[i]);
    }
    json += "]}\n";
    fputs(json.c_str(), stdout);
}

}  // namespace

std::string JsonString(const std::string& text) {
    const bool utf8 = IsUtf8(text);
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || (byte >= 0x80 && !utf8)) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

int DescribeFiles(TranslatorEngine& engine, const std::vector<std::string>& files, bool json,
                  const ConvertOptions& options) {
    int status = 0;
    for (const std::string& path : files) {
        DetectResult* detected = engine.Detect(path);
        if (detected == nullptr) {
            const int error = engine.DetectError();
            const std::string refusal = error != 0
                                            ? path + " cannot be read (" + strerror(error) + ")."
                                            : path + " is not a recognized data file format.";
            if (json) {
                fputs(
                    ("{\"file\":" + JsonString(path) + ",\"error\":" + JsonString(refusal) + "}\n")
                        .c_str(),
                    stdout);
            } else {
                printf("%s\n\n", refusal.c_str());
            }
            status = -1;
            continue;
        }
        TraceReader& reader = *detected->reader;
        engine.Sink().ClearMessages();
        reader.SetSink(&engine.Sink());
        const ReadThrough read = ReadAllFrames(reader, path, options);
        reader.SetSink(nullptr);
        // The summary as recognised: reading through adds counts to the info.
        if (json) {
            PrintJson(path, reader.info, read);
        } else {
            PrintText(path, reader.info, read);
        }
    }
    return status;
}

}  // namespace translator
