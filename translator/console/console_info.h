#pragma once

#include <string>
#include <vector>

#include "engine/convert_options.h"
#include "engine/engine.h"

namespace translator {

// A JSON string; a name that is not UTF-8 (file names are bytes) has its
// upper bytes escaped one by one, so the line stays valid JSON.
std::string JsonString(const std::string& text);

// Describes files without converting them: the summary of each, with the
// frames counted by reading it through. As text, or as one JSON object a
// line. Returns the exit status: 0, or -1 when a file is not recognised.
int DescribeFiles(TranslatorEngine& engine, const std::vector<std::string>& files, bool json,
                  const ConvertOptions& options);

}  // namespace translator
