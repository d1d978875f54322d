// Per-frame hot paths: checksums, and one record read and written per format.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "engine/engine.h"
#include "formats/domino/domino.h"
#include "formats/fireberd/fireberd.h"
#include "formats/hexdump/hexdump.h"
#include "formats/meridel/meridel.h"
#include "formats/netmon/netmon.h"
#include "formats/netxray/netxray.h"
#include "formats/observer/observer.h"
#include "formats/pcapng/pcapng.h"
#include "formats/peek/peek.h"
#include "formats/snoop/snoop.h"
#include "formats/tcpdump/tcpdump.h"
#include "formats/tervo/tervo.h"

namespace translator {
namespace {

void BM_Crc32(benchmark::State& state) {
    std::vector<uint8_t> frame(static_cast<size_t>(state.range(0)), 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc32(frame.data(), state.range(0)));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(60)->Arg(512)->Arg(1514);

void BM_Fcs16(benchmark::State& state) {
    std::vector<uint8_t> frame(static_cast<size_t>(state.range(0)), 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Fcs16(frame.data(), state.range(0)));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Fcs16)->Arg(60)->Arg(512)->Arg(1514);

// Instructions per frame are not counted here (no hardware counters in the
// containers this runs in): run the rows under callgrind and divide the
// inclusive cost of each ReadNextFrame and WriteFrame by its calls
// (callgrind_annotate --inclusive=yes --tree=caller).

// A scratch folder holding one source capture of many 1518-byte frames,
// converted once into each format the readers are timed on.
class Fixture {
public:
    static Fixture& Get() {
        static Fixture fixture;
        return fixture;
    }
    std::string Path(const char* code) const { return dir_ + "/frames." + code; }

private:
    Fixture() {
        char pattern[] = "/tmp/translator-bench-XXXXXX";
        dir_ = mkdtemp(pattern);
        const std::string source = Path("TD");
        OutputFile out;
        out.Create(source);
        uint8_t header[24] = {0xD4, 0xC3, 0xB2, 0xA1, 2,    0,    4, 0, 0, 0, 0, 0,
                              0,    0,    0,    0,    0xFF, 0xFF, 0, 0, 1, 0, 0, 0};
        out.Write(header, sizeof header);
        std::vector<uint8_t> frame(1518, 0x33);
        for (uint32_t i = 0; i < 20000; ++i) {
            uint8_t record[16] = {};
            record[0] = static_cast<uint8_t>(i);
            record[8] = record[12] = 0xEE;
            record[9] = record[13] = 0x05;
            out.Write(record, sizeof record);
            out.Write(frame.data(), frame.size());
        }
        out.Close();
        TranslatorEngine engine;
        ConvertOptions options;
        engine.SetSink(&quiet_);
        for (const char* code :
             {"SO", "SH", "N2", "XR", "OB", "EP", "NG", "DM", "FB", "TV", "OS"}) {
            engine.ConvertFile(source, Path(code), FindFormat(code), options);
        }
    }
    ~Fixture() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    class QuietSink : public ProgressSink {
    public:
        const char* Messages() const override { return nullptr; }
        void AddMessage(const char*, ...) override {}
        void ClearMessages() override {}
        void Finished(const TraceInfo&, const char*) override {}
        void Progress(const TraceInfo&, const char*) override {}
        void SetCanceled(bool) override {}
        bool IsCanceled() const override { return false; }
    } quiet_;
    std::string dir_;
};

template <typename Reader>
void ReadFrames(benchmark::State& state, const char* code) {
    Reader reader;
    reader.Open(Fixture::Get().Path(code));
    for (auto _ : state) {
        if (!reader.ReadFrame()) {
            state.PauseTiming();
            reader.Close();
            reader.Open(Fixture::Get().Path(code));
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_ReadTcpdump(benchmark::State& s) {
    ReadFrames<TcpdumpReader>(s, "TD");
}
void BM_ReadSnoop(benchmark::State& s) {
    ReadFrames<SnoopReader>(s, "SO");
}
void BM_ReadSurveyor(benchmark::State& s) {
    ReadFrames<SnoopReader>(s, "SH");
}
void BM_ReadNetMon(benchmark::State& s) {
    ReadFrames<NetMonReader>(s, "N2");
}
void BM_ReadNetXRay(benchmark::State& s) {
    ReadFrames<NetXRayReader>(s, "XR");
}
void BM_ReadObserver(benchmark::State& s) {
    ReadFrames<ObserverReader>(s, "OB");
}
void BM_ReadPeek(benchmark::State& s) {
    ReadFrames<PeekReader>(s, "EP");
}
void BM_ReadPcapng(benchmark::State& s) {
    ReadFrames<PcapngReader>(s, "NG");
}
void BM_ReadDomino(benchmark::State& s) {
    ReadFrames<DominoReader>(s, "DM");
}
void BM_ReadFireBerd(benchmark::State& s) {
    ReadFrames<FireBerdReader>(s, "FB");
}
void BM_ReadTervo(benchmark::State& s) {
    ReadFrames<TervoReader>(s, "TV");
}
void BM_ReadOstrel(benchmark::State& s) {
    ReadFrames<AnalyzerTraceReader>(s, "OS");
}
BENCHMARK(BM_ReadTcpdump);
BENCHMARK(BM_ReadSnoop);
BENCHMARK(BM_ReadSurveyor);
BENCHMARK(BM_ReadNetMon);
BENCHMARK(BM_ReadNetXRay);
BENCHMARK(BM_ReadObserver);
BENCHMARK(BM_ReadPeek);
BENCHMARK(BM_ReadPcapng);
BENCHMARK(BM_ReadDomino);
BENCHMARK(BM_ReadFireBerd);
BENCHMARK(BM_ReadTervo);
BENCHMARK(BM_ReadOstrel);

// Writers through the run-time libraries write a real file beside the
// library's spool, so their rows run a fixed number of frames.
template <typename Writer>
void WriteFrames(benchmark::State& state, int format, const std::string& path = "/dev/null") {
    Writer writer;
    ConvertOptions options;
    TraceInfo info;
    info.interfaceType = IF_ETHERNET;
    info.firstSeconds = info.startTime = 1700000000;
    FrameRecord frame;
    frame.SetData(nullptr, 1518);
    frame.frameLength = frame.capturedLength = 1518;
    frame.seconds = 1700000001;
    writer.Create(path, format, options);
    writer.WriteHeader(info);
    for (auto _ : state) {
        benchmark::DoNotOptimize(writer.WriteFrame(info, frame));
        ++info.framesWritten;
    }
    writer.Close();
    state.SetItemsProcessed(state.iterations());
}
void BM_WriteTcpdump(benchmark::State& s) {
    WriteFrames<TcpdumpWriter>(s, FMT_TD);
}
void BM_WriteSnoop(benchmark::State& s) {
    WriteFrames<SnoopWriter>(s, FMT_SO);
}
void BM_WriteSurveyor(benchmark::State& s) {
    WriteFrames<SnoopWriter>(s, FMT_SH);
}
void BM_WriteNetMon(benchmark::State& s) {
    WriteFrames<NetMonWriter>(s, FMT_N2);
}
void BM_WriteNetXRay(benchmark::State& s) {
    WriteFrames<NetXRayWriter>(s, FMT_XR);
}
void BM_WriteObserver(benchmark::State& s) {
    WriteFrames<ObserverWriter>(s, FMT_OB);
}
void BM_WritePeek(benchmark::State& s) {
    WriteFrames<PeekWriter>(s, FMT_EP);
}
void BM_WritePcapng(benchmark::State& s) {
    WriteFrames<PcapngWriter>(s, FMT_NG);
}
void BM_WriteDomino(benchmark::State& s) {
    WriteFrames<DominoWriter>(s, FMT_DM);
}
void BM_WriteFireBerd(benchmark::State& s) {
    WriteFrames<FireBerdWriter>(s, FMT_FB);
}
void BM_WriteHexDump(benchmark::State& s) {
    WriteFrames<HexDumpWriter>(s, FMT_TX);
}
void BM_WriteTervo(benchmark::State& s) {
    WriteFrames<TervoWriter>(s, FMT_TV, Fixture::Get().Path("written.TV"));
}
void BM_WriteOstrel(benchmark::State& s) {
    WriteFrames<AnalyzerTraceWriter>(s, FMT_OS, Fixture::Get().Path("written.OS"));
}
BENCHMARK(BM_WriteTcpdump);
BENCHMARK(BM_WriteSnoop);
BENCHMARK(BM_WriteSurveyor);
BENCHMARK(BM_WriteNetMon);
BENCHMARK(BM_WriteNetXRay);
BENCHMARK(BM_WriteObserver);
BENCHMARK(BM_WritePeek);
BENCHMARK(BM_WritePcapng);
BENCHMARK(BM_WriteDomino);
BENCHMARK(BM_WriteFireBerd);
BENCHMARK(BM_WriteHexDump);
BENCHMARK(BM_WriteTervo)->Iterations(20000);
BENCHMARK(BM_WriteOstrel)->Iterations(20000);

}  // namespace
}  // namespace translator

BENCHMARK_MAIN();
