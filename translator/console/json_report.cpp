#include "json_report.h"

#include "console_info.h"
#include "engine/format_table.h"

namespace translator {

namespace {

const char* OutcomeName(FileOutcome::Kind kind) {
    switch (kind) {
        case FileOutcome::kConverted:
            return "converted";
        case FileOutcome::kSkipped:
            return "skipped";
        case FileOutcome::kFailed:
            return "failed";
        case FileOutcome::kCanceled:
            return "canceled";
    }
    return "failed";
}

std::string JsonStringOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

}  // namespace

JsonReport::~JsonReport() {
    if (file_ != nullptr) {
        fclose(file_);
    }
}

bool JsonReport::Open(const std::string& path) {
    file_ = fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void JsonReport::Write(const std::string& source, const FileOutcome& outcome,
                       const std::vector<std::string>& texts) {
    ++lines_;
    // Appended piece by piece: "literal" + a temporary string trips GCC 12's
    // -Wrestrict at -O3.
    std::string json = "{\"source\":";
    json += JsonString(source);
    json += ",\"destination\":";
    json += JsonStringOrNull(outcome.destination);
    json += ",\"format\":";
    json += JsonStringOrNull(outcome.format != 0 ? FormatName(outcome.format) : "");
    json += ",\"frames\":";
    json += std::to_string(outcome.frames);
    json += ",\"outcome\":";
    json += JsonString(OutcomeName(outcome.kind));
    json += ",\"warnings\":[";
    for (size_t i = 0; i < texts.size(); ++i) {
        json += i > 0 ? "," : "";
        json += JsonString(texts[i]);
    }
    json += "]}\n";
    // Each line is whole on disk as soon as its file is done.
    fputs(json.c_str(), file_);
    fflush(file_);
}

}  // namespace translator
