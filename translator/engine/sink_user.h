#pragma once

#include <memory>

#include "progress_sink.h"

namespace translator {

// The sink a reader or writer reports to: one lent from outside for a
// conversion (the front ends lend theirs), or else a silent one of its own,
// made on first use.
class SinkUser {
public:
    virtual ~SinkUser() = default;

    ProgressSink& Sink();
    // Lends a sink (not owned); null returns to the own silent sink.
    void SetSink(ProgressSink* sink);
    // Passes text on only while the sink has no message yet: the first error stays.
    void ReportError(const char* text);

private:
    ProgressSink* lent_ = nullptr;
    std::unique_ptr<ProgressSink> owned_;
};

}  // namespace translator
