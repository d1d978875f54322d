#include "tervo.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <vector>

#include "engine/ethernet.h"
#include "engine/shared_library.h"
#include "tervo_file.h"

namespace translator {

namespace {

constexpr const char kLibraryName[] = "Tervo.dll";

struct LinkRow {
    int32_t linkType;
    int32_t interfaceType;
    int32_t wanType;  // WAN_NONE: the reader leaves the WAN type alone
};

constexpr LinkRow kLinks[] = {
    {TERVO_LINK_HDLC, IF_WAN, WAN_HDLC},     {TERVO_LINK_PPP, IF_WAN, WAN_PPP},
    {TERVO_LINK_RAW_IP, IF_WAN, WAN_RAW_IP}, {TERVO_LINK_ETHERNET, IF_ETHERNET, WAN_NONE},
    {TERVO_LINK_ATM, IF_ATM, WAN_NONE},      {TERVO_LINK_FRAME_RELAY, IF_WAN, WAN_FRAME_RELAY},
};

const LinkRow* FindLink(int32_t linkType) {
    for (const LinkRow& row : kLinks) {
        if (row.linkType == linkType) {
            return &row;
        }
    }
    return nullptr;
}

bool IsTervoWan(int wanType) {
    return wanType == WAN_HDLC || wanType == WAN_PPP || wanType == WAN_FRAME_RELAY ||
           wanType == WAN_RAW_IP;
}

// The link type a trace is written with, in the order of the link table;
// 0 for a trace no Tervo link type describes.
int32_t LinkTypeFor(const TraceInfo& info) {
    if (IsWanFamily(info) && info.wanType == WAN_HDLC) {
        return TERVO_LINK_HDLC;
    }
    if (IsWanFamily(info) && info.wanType == WAN_PPP) {
        return TERVO_LINK_PPP;
    }
    if (IsWanFamily(info) && info.wanType == WAN_RAW_IP) {
        return TERVO_LINK_RAW_IP;
    }
    if (info.interfaceType == IF_ETHERNET) {
        return TERVO_LINK_ETHERNET;
    }
    if (IsAtm(info)) {
        return TERVO_LINK_ATM;
    }
    if (IsWanFamily(info) && info.wanType == WAN_FRAME_RELAY) {
        return TERVO_LINK_FRAME_RELAY;
    }
    return TERVO_LINK_UNKNOWN;
}

void CopyText(char* destination, size_t size, const char* source, size_t sourceSize) {
    const size_t n = strnlen(source, sourceSize);
    const size_t length = n < size ? n : size - 1;
    memcpy(destination, source, length);
    destination[length] = '\0';
}

}  // namespace

bool TervoReader::Open(const std::string& path) {
    // A file left open by an earlier Open that failed is let go first.
    CloseHandle();
    if (!library_.Load()) {
        Sink().AddMessage("%s is not found, or it is corrupted.\r\n", kLibraryName);
        return false;
    }
    auto* open = library_.Bind<decltype(OpenTervoFile)>("OpenTervoFile");
    if (open == nullptr) {
        Sink().AddMessage("Incorrect version of Tervo.DLL (OpenTervoFile not found).\r\n");
        Close();
        return false;
    }
    info.Reset();
    TervoFileInfo file{};
    handle_ = open(path.c_str(), &file);
    const LinkRow* link = FindLink(static_cast<int32_t>(file.linkType));
    if (handle_ == nullptr || link == nullptr) {
        Close();
        return false;
    }
    info.format = FMT_TV;
    info.interfaceType = link->interfaceType;
    if (link->wanType != WAN_NONE) {
        info.wanType = link->wanType;
    }
    linkType_ = link->linkType;
    info.totalFrames = file.records;
    info.startTime = static_cast<uint32_t>(file.startTime);
    CopyText(info.comment, sizeof info.comment, file.description, sizeof file.description);
    framesConsumed_ = 0;
    return true;
}

bool TervoReader::CloseHandle() {
    if (handle_ == nullptr) {
        return true;
    }
    auto* close = library_.Bind<decltype(CloseTervoFile)>("CloseTervoFile");
    if (close == nullptr) {
        return false;
    }
    close(handle_);
    handle_ = nullptr;
    return true;
}

void TervoReader::Close() {
    // Without its close function the library keeps what the handle holds,
    // so it stays loaded.
    if (!CloseHandle()) {
        return;
    }
    library_.Unload();
}

bool TervoReader::ReadNextFrame() {
    if (handle_ == nullptr || framesConsumed_ >= info.totalFrames) {
        return false;
    }
    auto* read = library_.Bind<decltype(ReadTervoFrame)>("ReadTervoFrame");
    auto* release = library_.Bind<decltype(FreeTervoFrame)>("FreeTervoFrame");
    if (read == nullptr || release == nullptr) {
        return false;
    }
    while (framesConsumed_ < info.totalFrames) {
        TervoFrame* f = read(handle_);
        if (f == nullptr) {
            // The file announced more records than the library could read.
            ReportReadFailure();
            return Damaged("the library cannot read frame %" PRId64 ", record %" PRId64
                           " of the %" PRId64 " the file announces",
                           info.framesRead + 1, framesConsumed_ + 1, info.totalFrames);
        }
        ++framesConsumed_;
        if (static_cast<int32_t>(f->linkType) != linkType_) {
            release(handle_, f);
            continue;
        }
        // The frame record's buffer is sized in 32 bits with room to spare.
        constexpr uint32_t kLimit = INT32_MAX - FrameRecord::kSlack;
        if (f->capturedLength > kLimit || f->originalLength > kLimit) {
            const uint32_t length = std::max(f->capturedLength, f->originalLength);
            release(handle_, f);
            return TooLong(length);
        }
        if (f->capturedLength > 0 && f->data == nullptr) {
            const uint32_t length = f->capturedLength;
            release(handle_, f);
            return Damaged("the library hands out frame %" PRId64 " without its %" PRIu32 " bytes",
                           info.framesRead + 1, length);
        }
        frame.Reset();
        // Frame times count from the capture start, modulo 2^32 both ways.
        frame.seconds = f->seconds + info.startTime;
        frame.microseconds = f->nanoseconds / 1000;
        frame.nanoseconds = f->nanoseconds % 1000;
        frame.capturedLength = static_cast<int32_t>(f->capturedLength);
        frame.frameLength = static_cast<int32_t>(
            f->originalLength > f->capturedLength ? f->originalLength : f->capturedLength);
        frame.flags = static_cast<uint16_t>(f->flags);
        if (frame.capturedLength > 0) {
            frame.SetData(f->data, frame.capturedLength);
        }
        release(handle_, f);
        return true;
    }
    return false;
}

bool TervoWriter::SupportsInterface(int, const TraceInfo& info) const {
    return info.interfaceType == IF_ETHERNET || IsAtm(info) ||
           (IsWanFamily(info) && IsTervoWan(info.wanType));
}

bool TervoWriter::Create(const std::string& path, int formatId, const ConvertOptions& options) {
    if (!library_.Load()) {
        Sink().AddMessage("%s is not found, or it is corrupted.\r\n", kLibraryName);
        return false;
    }
    format_ = formatId;
    options_ = &options;
    path_ = path;
    return true;
}

bool TervoWriter::CreateFile(const TraceInfo& info, uint32_t startTime) {
    auto* create = library_.Bind<decltype(CreateTervoFile)>("CreateTervoFile");
    if (create == nullptr) {
        return false;
    }
    TervoFileInfo file{};
    CopyText(file.description, sizeof file.description, info.comment, sizeof info.comment);
    file.startTime = static_cast<int32_t>(startTime);
    file.linkType = static_cast<uint32_t>(linkType_);
    handle_ = create(path_.c_str(), &file);
    startTime_ = startTime;
    createPending_ = false;
    return handle_ != nullptr;
}

bool TervoWriter::WriteHeader(const TraceInfo& info) {
    if (library_.Bind<decltype(CreateTervoFile)>("CreateTervoFile") == nullptr) {
        Sink().AddMessage("Incorrect version of Tervo.DLL (CreateTervoFile not found).\r\n");
        return false;
    }
    linkType_ = LinkTypeFor(info);
    if (info.startTime == 0) {
        createPending_ = true;
        return true;
    }
    return CreateFile(info, info.startTime);
}

bool TervoWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    // The conversion loop has taken the start from the first frame by now.
    if (createPending_ && !CreateFile(info, info.startTime != 0 ? info.startTime : frame.seconds)) {
        return false;
    }
    auto* write = library_.Bind<decltype(WriteTervoFrame)>("WriteTervoFrame");
    if (handle_ == nullptr || write == nullptr || frame.capturedLength < 0) {
        return false;
    }
    TervoFrame f{};
    f.linkType = static_cast<uint32_t>(linkType_);
    // 32-bit seconds from the start, modulo 2^32: the library reads them back
    // to every 32-bit Unix time, before or after the start.
    f.seconds = frame.seconds - startTime_;
    f.nanoseconds = frame.nanoseconds + frame.microseconds * 1000;
    // 32-bit lengths; the library's records are bounded only by its 32-bit
    // file offsets, which it checks itself.
    f.capturedLength = static_cast<uint32_t>(frame.capturedLength);
    f.originalLength = static_cast<uint32_t>(frame.frameLength > 0 ? frame.frameLength : 0);
    // The structure serves reading too; writing only reads the bytes.
    f.data = const_cast<uint8_t*>(frame.Bytes());
    // The file keeps one length, so every frame reads back whole, its last
    // four bytes taken for the FCS: a cut Ethernet frame gets a zero FCS room
    // after its bytes so that none of them is lost.
    std::vector<uint8_t> withFcsRoom;
    if (info.interfaceType == IF_ETHERNET && frame.capturedLength < frame.frameLength) {
        withFcsRoom.assign(f.data, f.data + frame.capturedLength);
        withFcsRoom.resize(withFcsRoom.size() + kEthernetFcsSize, 0);
        f.capturedLength = static_cast<uint32_t>(withFcsRoom.size());
        f.data = withFcsRoom.data();
    }
    return write(handle_, &f) != 0;
}

bool TervoWriter::Save() {
    auto* save = library_.Bind<decltype(SaveTervoFile)>("SaveTervoFile");
    if (handle_ == nullptr || save == nullptr) {
        return false;
    }
    const bool ok = save(handle_) != 0;
    handle_ = nullptr;
    return ok;
}

bool TervoWriter::FinishFile(const TraceInfo& info) {
    if (createPending_ && !CreateFile(info, info.startTime)) {
        return false;
    }
    return Save();
}

bool TervoWriter::Close() {
    Save();
    createPending_ = false;
    library_.Unload();
    return true;
}

}  // namespace translator
