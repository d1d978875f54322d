#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/conversion_run.h"

namespace translator {

// One JSON object a line for each file of a conversion run, written as the
// file ends, so that the lines of runs that share a folder's files between
// them add up to those of one run.
class JsonReport {
public:
    JsonReport() = default;
    JsonReport(const JsonReport&) = delete;
    JsonReport& operator=(const JsonReport&) = delete;
    ~JsonReport();

    // Creates or empties path; false, with errno set, when it cannot.
    bool Open(const std::string& path);
    // texts: the errors and warnings the file's section printed.
    void Write(const std::string& source, const FileOutcome& outcome,
               const std::vector<std::string>& texts);
    size_t Lines() const { return lines_; }

private:
    FILE* file_ = nullptr;
    size_t lines_ = 0;
};

}  // namespace translator
