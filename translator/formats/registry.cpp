// The single registration table of format modules. The order is the
// detection order of readers and the search order of writers:
//   readers  1 Meridel bridge, 2 tcpdump, 3 pcapng, 4 NetXRay, 5 Domino/LinkView,
//            6 snoop family, 7 FireBerd 500, 8 Quillon, 9 Observer, 10 NetMon,
//            11 Peek family, 12 Tervo bridge, 13 Feldane
//   writers  1 Meridel bridge, 2 tcpdump, 3 pcapng, 4 NetXRay, 5 Domino/LinkView,
//            6 snoop family, 7 FireBerd 500, 8 HexDump, 9 Observer, 10 NetMon,
//            11 Peek family, 12 Tervo bridge
// Each module takes its place in the lists below.
#include "engine/engine.h"
#include "formats/domino/domino.h"
#include "formats/feldane/feldane.h"
#include "formats/fireberd/fireberd.h"
#include "formats/hexdump/hexdump.h"
#include "formats/meridel/meridel.h"
#include "formats/netmon/netmon.h"
#include "formats/netxray/netxray.h"
#include "formats/observer/observer.h"
#include "formats/pcapng/pcapng.h"
#include "formats/peek/peek.h"
#include "formats/quillon/quillon.h"
#include "formats/snoop/snoop.h"
#include "formats/tcpdump/tcpdump.h"
#include "formats/tervo/tervo.h"

namespace translator {

std::vector<std::unique_ptr<TraceReader>> CreateReaders() {
    std::vector<std::unique_ptr<TraceReader>> readers;
    readers.push_back(std::make_unique<AnalyzerTraceReader>());
    readers.push_back(std::make_unique<TcpdumpReader>());
    readers.push_back(std::make_unique<PcapngReader>());
    readers.push_back(std::make_unique<NetXRayReader>());
    readers.push_back(std::make_unique<DominoReader>());
    readers.push_back(std::make_unique<SnoopReader>());
    readers.push_back(std::make_unique<FireBerdReader>());
    readers.push_back(std::make_unique<QuillonReader>());
    readers.push_back(std::make_unique<ObserverReader>());
    readers.push_back(std::make_unique<NetMonReader>());
    readers.push_back(std::make_unique<PeekReader>());
    readers.push_back(std::make_unique<TervoReader>());
    readers.push_back(std::make_unique<FeldaneReader>());
    return readers;
}

std::vector<std::unique_ptr<TraceWriter>> CreateWriters() {
    std::vector<std::unique_ptr<TraceWriter>> writers;
    writers.push_back(std::make_unique<AnalyzerTraceWriter>());
    writers.push_back(std::make_unique<TcpdumpWriter>());
    writers.push_back(std::make_unique<PcapngWriter>());
    writers.push_back(std::make_unique<NetXRayWriter>());
    writers.push_back(std::make_unique<DominoWriter>());
    writers.push_back(std::make_unique<SnoopWriter>());
    writers.push_back(std::make_unique<FireBerdWriter>());
    writers.push_back(std::make_unique<HexDumpWriter>());
    writers.push_back(std::make_unique<ObserverWriter>());
    writers.push_back(std::make_unique<NetMonWriter>());
    writers.push_back(std::make_unique<PeekWriter>());
    writers.push_back(std::make_unique<TervoWriter>());
    return writers;
}

}  // namespace translator
