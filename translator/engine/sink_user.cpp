#include "sink_user.h"

namespace translator {

ProgressSink& SinkUser::Sink() {
    if (lent_ != nullptr) {
        return *lent_;
    }
    if (!owned_) {
        owned_ = std::make_unique<SilentSink>();
    }
    return *owned_;
}

void SinkUser::SetSink(ProgressSink* sink) {
    owned_.reset();
    lent_ = sink;
}

void SinkUser::ReportError(const char* text) {
    ProgressSink& sink = Sink();
    if (sink.Messages() == nullptr || *sink.Messages() == '\0') {
        sink.AddMessage("%s", text);
    }
}

}  // namespace translator
