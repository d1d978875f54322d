#pragma once

#include <string>

#include "engine/engine.h"

namespace translator::ui {

// Display names of the interface types the engine's readers (or writers)
// support for format, joined by ", ". The ATM class is tried once as ATM and
// the WAN family once as WAN carrying PPP.
std::string SupportedInterfaces(const TranslatorEngine& engine, int format, bool writers);

}  // namespace translator::ui
