#include "progress_sink.h"

#include <cstdarg>
#include <cstdio>

namespace translator {

void AccumulatingSink::AddMessage(const char* format, ...) {
    char text[kMessageLimit];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    messages_ += text;
    hasMessages_ = true;
}

void AccumulatingSink::ClearMessages() {
    messages_.clear();
    hasMessages_ = false;
}

}  // namespace translator
