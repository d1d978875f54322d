// The single registration table of format modules. The order is the
// detection order of readers and the search order of writers:
//   readers  1 Meridel bridge, 2 tcpdump, 3 NetXRay, 4 Domino/LinkView, 5 snoop family,
//            6 FireBerd 500, 7 Quillon, 8 Observer, 9 NetMon, 10 Peek family,
//            11 Tervo bridge, 12 Feldane
//   writers  1 Meridel bridge, 2 tcpdump, 3 NetXRay, 4 Domino/LinkView, 5 snoop family,
//            6 FireBerd 500, 7 HexDump, 8 Observer, 9 NetMon, 10 Peek family, 11 Tervo bridge
// Each module takes its place in the lists below.
#include "core/engine.h"
#include "formats/hexdump/hexdump.h"
#include "formats/netmon/netmon.h"
#include "formats/snoop/snoop.h"
#include "formats/tcpdump/tcpdump.h"
#include "formats/tervo/tervo.h"

namespace translator {

std::vector<std::unique_ptr<TraceReader>> CreateReaders() {
    std::vector<std::unique_ptr<TraceReader>> readers;
    readers.push_back(std::make_unique<TcpdumpReader>());
    readers.push_back(std::make_unique<SnoopReader>());
    readers.push_back(std::make_unique<NetMonReader>());
    readers.push_back(std::make_unique<TervoReader>());
    return readers;
}

std::vector<std::unique_ptr<TraceWriter>> CreateWriters() {
    std::vector<std::unique_ptr<TraceWriter>> writers;
    writers.push_back(std::make_unique<TcpdumpWriter>());
    writers.push_back(std::make_unique<SnoopWriter>());
    writers.push_back(std::make_unique<HexDumpWriter>());
    writers.push_back(std::make_unique<NetMonWriter>());
    writers.push_back(std::make_unique<TervoWriter>());
    return writers;
}

}  // namespace translator
