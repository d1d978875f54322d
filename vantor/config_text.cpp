#include "config_text.h"

#include <cstdio>
#include <span>

#include "capture_format.h"

namespace vantor {

namespace {

struct Param {
    const char* key;
    const char* value;
};

struct Connection {
    const char* lowerConnectionId;
};

struct LayerBlock {
    const char* name;
    // The layer named in the block's filter line; two ATM blocks name another one.
    const char* filterLayer;
    std::span<const Param> params;
    std::span<const Connection> connections;
};

constexpr Param kAtmParams[] = {{"interface", "UNI"},
                                {"oamFailureTypeOctetPresent", "Yes"},
                                {"oamFailureLocationPresent", "Yes"},
                                {"oamLoopbackLocationIdPresent", "Yes"},
                                {"oamLoopbackSourceIdPresent", "Yes"},
                                {"oamPerfMgmtDelayPresent", "No"}};
constexpr Param kSscopParams[] = {
    {"version", "q2110_version"}, {"maxInformationLength", "4096"}, {"maxSscopUuLength", "4096"}};
constexpr Param kLanParams[] = {{"version", "204"},
                                {"hint", "Yes"},
                                {"llcEncapsulated", "Yes"},
                                {"epduType", "48"},
                                {"hasFcs", "Yes"},
                                {"flip", "6"},
                                {"removeLeadingOctets", "0"},
                                {"removeTrailingOctets", "0"},
                                {"payloadDecode", "Application"}};
constexpr Param kFrameRelayParams[] = {{"maxFrameSize", "8192"},
                                       {"frSscs", "Yes"},
                                       {"frHssi", "No"},
                                       {"cllmOn", "Yes"},
                                       {"cllmDlci", "1007"}};
constexpr Param kFrsigParams[] = {
    {"svcMessageSet", "q933"}, {"lmiMessageSet", "q933"}, {"messageDirection", "user_to_network"}};
constexpr Param kSigParams[] = {{"messageSet", "atm31"}, {"messageDirection", "user_to_network"}};
constexpr Param kLuniParams[] = {{"payloadDecode", "Application"}};
constexpr Param kBisupParams[] = {{"nnisigMessageSet", "bisup"}};
constexpr Param kPnnisigParams[] = {{"pnnisigMessageSet", "10"},
                                    {"pnnisigMessageDirection", "proceeding_to_succeeding"}};
constexpr Param kPnnirtParams[] = {{"pnnirtMessageSet", "10"}};
constexpr Param kMtp3bParams[] = {
    {"pointCodeSize", "14"}, {"slsSize", "4"}, {"mtp3bVariant", "0"}, {"mtp3bVariant", "No"}};
constexpr Param kMacParams[] = {{"macVersion", "2"},       {"macDecodeToTop", "Yes"},
                                {"macHasFcs", "Yes"},      {"macType", "AutoDetect"},
                                {"llcType", "AutoDetect"}, {"macHeaderSkip", "0"},
                                {"macTrailerSkip", "0"},   {"payloadDecode", "Application"},
                                {"autoBuildStack", "Yes"}, {"ignoreDribble", "Yes"}};
constexpr Param kIpv4Params[] = {
    {"messageSet", "prot"}, {"autoBuildStack", "Yes"}, {"payloadDecode", "Application"}};
constexpr Param kTransportParams[] = {{"messageSet", "prot"}, {"payloadDecode", "Application"}};
constexpr Param kIcmpParams[] = {{"messageSet", "prot"}};
constexpr Param kLencapParams[] = {{"encapVersion", "2"},
                                   {"encapType", "AutoDetect"},
                                   {"mediaType", "802.3"},
                                   {"encapHasFcs", "Yes"},
                                   {"encapHeaderSkip", "0"},
                                   {"encapTrailerSkip", "0"},
                                   {"payloadDecode", "Application"},
                                   {"autoBuildStack", "Yes"}};

constexpr Connection kAtmConnections[] = {{"3"}};
constexpr Connection kAal5Connections[] = {{"0"}, {"1"}};

constexpr LayerBlock Plain(const char* name) {
    return {name, name, {}, {}};
}
constexpr LayerBlock WithParams(const char* name, std::span<const Param> params) {
    return {name, name, params, {}};
}

const LayerBlock kAtmLayers[] = {
    {"ATM", "ATM", kAtmParams, kAtmConnections},
    Plain("AAL34S"),
    Plain("AAL34C"),
    Plain("CLNAP"),
    {"AAL5", "AAL5", {}, kAal5Connections},
    Plain("AAL1"),
    WithParams("SSCOP", kSscopParams),
    WithParams("LAN", kLanParams),
    WithParams("DLCORE", kFrameRelayParams),
    WithParams("LAPF", kFrameRelayParams),
    WithParams("FRSIG", kFrsigParams),
    WithParams("SIG", kSigParams),
    {"AAL1CS", "SIG", {}, {}},
    WithParams("LUNI", kLuniParams),
    WithParams("BISUP", kBisupParams),
    Plain("ILMI"),
    WithParams("PNNISIG", kPnnisigParams),
    WithParams("PNNIRT", kPnnirtParams),
    WithParams("MTP3B", kMtp3bParams),
    {"MPEG2TS", "MTP3B", {}, {}},
    Plain("MPEG2PAYLOAD"),
    Plain("AAL2CP"),
    Plain("AAL2PK"),
    Plain("AAL2SSTED"),
    WithParams("MAC", kMacParams),
    WithParams("IPV4", kIpv4Params),
    WithParams("UDP", kTransportParams),
    WithParams("TCP", kTransportParams),
    WithParams("ICMP", kIcmpParams),
    WithParams("LENCAP", kLencapParams),
    Plain("PPPoA"),
    Plain("PPPOE"),
    Plain("IPV6"),
};

const LayerBlock kMacLayers[] = {
    WithParams("MAC", kMacParams),
    WithParams("IPV4", kIpv4Params),
    WithParams("UDP", kTransportParams),
    WithParams("TCP", kTransportParams),
    WithParams("ICMP", kIcmpParams),
    Plain("PPPOE"),
    Plain("IPV6"),
};

// The ATM list line also names two MPEG2 layers that have no block.
constexpr char kAtmLayerList[] =
    "ATM,AAL34S,AAL34C,CLNAP,AAL5,AAL1,SSCOP,LAN,DLCORE,LAPF,FRSIG,SIG,AAL1CS,LUNI,BISUP,ILMI,"
    "PNNISIG,PNNIRT,MTP3B,MPEG2TS,MPEG2PES,MPEG2PSI,MPEG2PAYLOAD,AAL2CP,AAL2PK,AAL2SSTED,MAC,"
    "IPV4,UDP,TCP,ICMP,LENCAP,PPPoA,PPPOE,IPV6";
constexpr char kMacLayerList[] = "MAC,IPV4,UDP,TCP,ICMP,PPPOE,IPV6";

constexpr Param kProtocolFormat[] = {{"protocolFormat.style", "MultipleLine"},
                                     {"protocolFormat.headerFormat", "LongHeader"},
                                     {"protocolFormat.payloadFormat", "NumBytes"},
                                     {"protocolFormat.numBytes", "48"},
                                     {"protocolFormat.trailerFormat", "LongTrailer"}};

class TextBuilder {
public:
    void Line(const std::string& key, const std::string& value) {
        text_ += "pbv." + key + ":\t" + value + "\n";
    }
    void LayerLine(const std::string& layer, const std::string& key, const std::string& value) {
        Line(layer + "." + key, value);
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

// Connection numbers and counts stay below ten.
std::string Digit(size_t n) {
    return std::string(1, static_cast<char>('0' + n));
}

void AppendLayerBlock(TextBuilder& text, const LayerBlock& layer) {
    for (const Param& param : kProtocolFormat) {
        text.LayerLine(layer.name, param.key, param.value);
    }
    text.LayerLine(layer.name, "numMatchers", "0");
    text.LayerLine(layer.filterLayer, "filterStatus", "PassAll");
    for (const Param& param : layer.params) {
        text.LayerLine(layer.name, std::string("layerParams.") + param.key, param.value);
    }
    text.LayerLine(layer.name, "numConnections", Digit(layer.connections.size()));
    for (size_t i = 0; i < layer.connections.size(); ++i) {
        const std::string connection = "connection" + Digit(i) + ".";
        text.LayerLine(layer.name, connection + "flags", "11100000000000000000000000000000");
        text.LayerLine(layer.name, connection + "upperProtocolLayer", "NONE");
        text.LayerLine(layer.name, connection + "upperConnectionId", "-1");
        text.LayerLine(layer.name, connection + "lowerProtocolLayer", "NONE");
        text.LayerLine(layer.name, connection + "lowerConnectionId",
                       layer.connections[i].lowerConnectionId);
    }
}

}  // namespace

std::string BuildConfigText(int kind, double captureStart) {
    const bool atm = kind == kKindAtm;
    TextBuilder text;
    text.Line("version", "30200");
    text.Line("portLocator", atm ? "501" : "300");
    text.Line("testApplication", atm ? "UNISigTestSoftware" : "EthernetTestSoftware");
    char start[64];
    snprintf(start, sizeof start, "%010.0f", captureStart);
    text.Line("baseTimestamp", start);
    text.Line("globalFormat.portFormat", "PortIdsOn");
    text.Line("globalFormat.timestampFormat", "TimestampOn");
    text.Line("globalFormat.errorFormat", "ErrorsOn");
    text.Line("globalFormat.stateFormat", "StatesOn");
    text.Line("selectedLayers", atm ? kAtmLayerList : kMacLayerList);
    for (const LayerBlock& layer :
         atm ? std::span<const LayerBlock>(kAtmLayers) : std::span<const LayerBlock>(kMacLayers)) {
        AppendLayerBlock(text, layer);
    }
    return text.Take();
}

}  // namespace vantor
