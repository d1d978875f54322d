#include "capabilities.h"

#include "engine/format_table.h"

namespace translator::ui {

std::string SupportedInterfaces(const TranslatorEngine& engine, int format, bool writers) {
    std::string names;
    for (int type = IF_ETHERNET; type <= IF_STM1E; ++type) {
        if ((IsAtmInterface(type) && type != IF_ATM) ||
            (IsWanFamilyInterface(type) && type != IF_WAN)) {
            continue;
        }
        TraceInfo info;
        info.interfaceType = type;
        if (type == IF_WAN) {
            info.wanType = WAN_PPP;
        }
        const bool supported =
            writers ? engine.WriterSupports(format, info) : engine.ReaderSupports(format, info);
        if (supported) {
            names += names.empty() ? "" : ", ";
            names += InterfaceName(type);
        }
    }
    return names;
}

}  // namespace translator::ui
