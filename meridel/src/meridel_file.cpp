#include "meridel_file.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "buffers.h"
#include "common/byte_order.h"

namespace meridel {

using namespace byte_order;

namespace {

constexpr size_t kHeaderSize = 104;
constexpr size_t kDirectoryStart = 106;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kCopyBufferSize = 65486;
constexpr size_t kVersion1Size = 32;
constexpr size_t kVersion3Size = 44;
constexpr uint32_t kStandardBase = 0x80000000u;
constexpr int kSpoolAttempts = 100;

uint32_t MediaCode(uint16_t lineCode, uint32_t rate, uint32_t rate2) {
    constexpr uint32_t k10M = 10000000;
    constexpr uint32_t k100M = 100000000;
    switch (lineCode) {
        case 10:
            return rate == k10M && rate2 == k10M ? 9 : 1;
        case 11:
        case 12:
            if (rate == k100M) {
                return rate2 == k100M ? 8 : 7;
            }
            if (rate == k10M) {
                return rate2 == k10M ? 9 : 1;
            }
            return 8;
        case 13:
            return rate == 4000000 ? 3 : 4;
        case 15:
            return 6;
        default:
            return 0;
    }
}

// The version-3 block: the caller's bytes (if any) under the fields the library sets.
std::vector<uint8_t> Version3Block(const uint8_t* given, size_t givenLength,
                                   const CBasicConfig& config) {
    std::vector<uint8_t> block(kVersion3Size, 0);
    StoreLE32(&block[12], 0x8000);
    StoreLE32(&block[28], 1);
    if (given != nullptr) {
        memcpy(block.data(), given, std::min(givenLength, kVersion3Size));
    }
    const bool rated = config.m_lineCode == 5 || config.m_lineCode == 16;
    StoreLE32(&block[0], 3);
    StoreLE32(&block[16], config.m_lineCode);
    StoreLE32(&block[32], config.m_interfaceCode);
    StoreLE32(&block[36], rated ? config.m_lineRate : 0);
    StoreLE32(&block[40], rated ? config.m_lineRate2 : 0);
    return block;
}

// Closes a spool and deletes it; nothing happens when it was never created.
void DropSpool(DiskFile& spool) {
    if (spool.IsOpen()) {
        spool.Abort();
        RemoveFile(spool.Path());
    }
}

uint16_t NormalInterfaceCode(int32_t lineCode, int32_t interfaceCode) {
    switch (lineCode) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 16:
            return static_cast<uint16_t>(interfaceCode == 0 ? 400 : interfaceCode);
        case 7:
        case 9:
        case 18:
        case 21:
            return static_cast<uint16_t>(interfaceCode == 0 ? 200 : interfaceCode);
        case 10:
            return 108;
        case 11:
        case 12:
            if (interfaceCode == 109 || interfaceCode == 110) {
                return static_cast<uint16_t>(interfaceCode);
            }
            return lineCode == 11 ? 109 : 110;
        case 13:
            return 111;
        case 15:
            return 112;
        default:
            return static_cast<uint16_t>(interfaceCode);
    }
}

}  // namespace

CMeridelFile::CMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing)
    : file_(file), writing_(writing), layout_(recordLayout), header_(recordLayout) {
    config_.m_extension = Version3Block(nullptr, 0, config_);
}

CMeridelFile::~CMeridelFile() {
    Discard();
}

void CMeridelFile::UseLegacyBases() {
    idBase1_ = 0x00010000u;
    idBase2_ = 0x00020000u;
}

bool CMeridelFile::HasNumberedStream(uint32_t number) const {
    return std::any_of(ids_.begin(), ids_.end(),
                       [&](uint32_t id) { return (id ^ idBase1_) == number || id == number; });
}

bool CMeridelFile::HasStream(uint32_t number) const {
    return HasNumberedStream(number);
}

bool CMeridelFile::LoadNumberedConfig(uint32_t number) {
    for (size_t i = 0; i < ids_.size(); ++i) {
        if ((ids_[i] ^ idBase1_) == number) {
            CBasicConfig loaded;
            if (!file_.Seek(offsets_[i]) || !loaded.Load(file_)) {
                return false;
            }
            config_ = std::move(loaded);
            return true;
        }
    }
    return false;
}

bool CMeridelFile::LoadConfig(uint32_t number) {
    return LoadNumberedConfig(number);
}

bool CMeridelFile::Begin(uint32_t typeCode, uint32_t frameCount, const char* description,
                         uint32_t frameStream, uint32_t configStream) {
    if (open_) {
        return false;
    }
    return writing_ ? BeginWriting(typeCode, frameCount, description, frameStream, configStream)
                    : BeginReading(frameStream, configStream);
}

bool CMeridelFile::BeginDefault(uint32_t frameCount, int key, const char* description,
                                uint32_t frameStream, uint32_t configStream) {
    if (key != 10 && key != 11 && key != 13) {
        return false;
    }
    return Begin(kLanTypeCode, frameCount, description, frameStream, configStream);
}

// Spools live beside the output. The process id and a counter in the name
// keep apart the spools of conversions that write into one folder at once;
// a name left behind by an earlier process is passed over.
bool CMeridelFile::CreateSpool(DiskFile& spool, uint32_t number) const {
    static std::atomic<uint32_t> counter{0};
    const std::string& path = file_.Path();
    const size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    for (int attempt = 0; attempt < kSpoolAttempts; ++attempt) {
        char name[64];
        snprintf(name, sizeof name, "$$dat%03u-%ld-%u.tmp", number % 1000,
                 static_cast<long>(getpid()), counter++);
        if (spool.CreateNew(folder + name)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool CMeridelFile::BeginWriting(uint32_t typeCode, uint32_t frameCount, const char* description,
                                uint32_t frameStream, uint32_t configStream) {
    frameCount_ = frameCount;
    typeCode_ = typeCode;
    memset(description_, 0, sizeof description_);
    if (description != nullptr) {
        memcpy(description_, description, strnlen(description, sizeof description_ - 1));
    }
    ids_ = {idBase1_ | configStream, idBase2_ | frameStream};
    if (decodeData_) {
        ids_.push_back(idBase1_ | kDecodeStream);
    }
    offsets_.assign(ids_.size(), 0);
    if (!CreateSpool(spool_, frameStream)) {
        return false;
    }
    spoolBytes_ = 0;
    open_ = true;
    return true;
}

bool CMeridelFile::BeginReading(uint32_t frameStream, uint32_t configStream) {
    fileSize_ = file_.Size();
    uint8_t header[kHeaderSize];
    if (fileSize_ < 0 || !file_.Seek(0) || !file_.Read(header, sizeof header)) {
        return false;
    }
    typeCode_ = LoadLE32(header);
    memcpy(description_, header + 4, sizeof description_);
    description_[sizeof description_ - 1] = '\0';
    ids_.clear();
    offsets_.clear();
    if (typeCode_ != kNoDirectoryTypeCode) {
        uint8_t count[2];
        if (!file_.Read(count, sizeof count)) {
            return false;
        }
        const size_t entries = LoadLE16(count);
        if (kDirectoryStart + entries * kDirectoryEntrySize > static_cast<uint64_t>(fileSize_)) {
            return false;
        }
        for (size_t i = 0; i < entries; ++i) {
            uint8_t entry[kDirectoryEntrySize];
            if (!file_.Read(entry, sizeof entry)) {
                return false;
            }
            ids_.push_back(LoadLE32(entry));
            offsets_.push_back(LoadLE32(entry + 4));
        }
    }
    if (!HasStream(configStream) || !LoadConfig(configStream)) {
        return false;
    }
    header_ = CStreamHeader(layout_);
    blocks_.clear();
    blockCount_ = 0;
    for (size_t i = 0; i < ids_.size(); ++i) {
        if ((ids_[i] & 0xFFFF) == frameStream) {
            if (!file_.Seek(offsets_[i]) || !ReadBlockIndex(fileSize_)) {
                return false;
            }
            break;
        }
    }
    frameCount_ = header_.recordCount;
    open_ = true;
    return true;
}

// Reads the stream header and block index at the file's position.
bool CMeridelFile::ReadBlockIndex(int64_t fileSize) {
    uint8_t raw[CStreamHeader::kSize];
    if (!file_.Read(raw, sizeof raw)) {
        return false;
    }
    header_.Load(raw);
    if (header_.recordsPerBlock == 0) {
        return false;
    }
    int64_t indexStart = file_.Tell();
    dataStart_ = indexStart;
    if (header_.layoutCode == CStreamHeader::kIndexedLayout) {
        uint8_t where[4];
        if (!file_.Read(where, sizeof where)) {
            return false;
        }
        indexStart = LoadLE32(where);
        dataStart_ = file_.Tell();
    }
    const uint64_t blocks =
        (uint64_t{header_.recordCount} + header_.recordsPerBlock - 1) / header_.recordsPerBlock;
    const uint64_t entrySize = CCBInfo::kSize + uint64_t{header_.extraBytes};
    // A count that needs more blocks than the index can name, or an index
    // that runs past the file, cannot be read.
    if (blocks > kMaxBlocks ||
        static_cast<uint64_t>(indexStart) + blocks * entrySize > static_cast<uint64_t>(fileSize)) {
        return false;
    }
    if (header_.layoutCode != CStreamHeader::kIndexedLayout) {
        dataStart_ = indexStart + static_cast<int64_t>(blocks * entrySize);
    }
    if (!file_.Seek(indexStart)) {
        return false;
    }
    blocks_.resize(blocks);
    for (auto& block : blocks_) {
        uint8_t entry[CCBInfo::kSize];
        if (!file_.Read(entry, sizeof entry) || !file_.Seek(file_.Tell() + header_.extraBytes)) {
            return false;
        }
        block.Load(entry);
    }
    blockCount_ = static_cast<uint16_t>(blocks);
    return true;
}

uint8_t* CMeridelFile::ReadBlock(uint32_t block, uint32_t* recordCount) {
    if (!open_ || writing_ || block >= blockCount_) {
        return nullptr;
    }
    const CCBInfo& entry = blocks_[block];
    const int64_t start = dataStart_ + entry.offset;
    if (start + int64_t{entry.size} > fileSize_) {
        return nullptr;
    }
    uint8_t* buffer = AllocateBuffer(entry.size);
    if (buffer == nullptr) {
        return nullptr;
    }
    if (!file_.Seek(start) || !file_.Read(buffer, entry.size)) {
        ReleaseBuffer(buffer);
        return nullptr;
    }
    const uint32_t perBlock = header_.recordsPerBlock;
    *recordCount =
        block + 1u < blockCount_ ? perBlock : header_.recordCount - (blockCount_ - 1u) * perBlock;
    return buffer;
}

bool CMeridelFile::ApplyInfo(FileConfigInfo& info) {
    const uint8_t* given = info.extensionLength > 0 ? info.extension : nullptr;
    const size_t givenLength = given != nullptr ? static_cast<size_t>(info.extensionLength) : 0;
    // The stored block length is a 16-bit field.
    if (givenLength > 0xFFFF) {
        return false;
    }
    config_.m_lineCode = static_cast<uint16_t>(info.lineCode);
    config_.m_startTime = info.startTime;
    config_.m_auxValue = info.auxValue;
    config_.m_lineRate = info.lineRate;
    config_.m_lineRate2 = info.lineRate2;
    info.interfaceCode = NormalInterfaceCode(info.lineCode, info.interfaceCode);
    config_.m_interfaceCode = static_cast<uint16_t>(info.interfaceCode);
    const uint32_t version = givenLength >= 4 ? LoadLE32(given) : 0;
    if (typeCode_ == kTrellanTypeCode && version != 3) {
        config_.m_extension = Version3Block(given, givenLength, config_);
    } else if (typeCode_ == kLanTypeCode && version != 1) {
        std::vector<uint8_t> block(kVersion1Size, 0);
        if (given != nullptr) {
            memcpy(block.data(), given, std::min(givenLength, kVersion1Size));
        }
        StoreLE32(&block[0], 1);
        StoreLE32(&block[16],
                  MediaCode(config_.m_lineCode, config_.m_lineRate, config_.m_lineRate2));
        config_.m_extension = std::move(block);
    } else {
        config_.SetExtension(given, givenLength);
    }
    return true;
}

bool CMeridelFile::AddRecord(const uint8_t* data, uint32_t length) {
    if (!open_ || !writing_ || spoolBytes_ + length > kMaxSpoolBytes) {
        return false;
    }
    if (!spool_.Write(data, length)) {
        return false;
    }
    spoolBytes_ += length;
    return true;
}

bool CMeridelFile::WriteConfigWithSchema(uint16_t schema) {
    std::vector<uint8_t> stored = config_.Store();
    StoreLE16(&stored[CBasicConfig::kSchemaOffset], schema);
    DiskFile spool;
    bool ok = CreateSpool(spool, kConfigStream) && spool.Write(stored.data(), stored.size()) &&
              spool.Seek(0);
    if (copyBuffer_.empty()) {
        copyBuffer_.resize(kCopyBufferSize);
    }
    for (size_t left = stored.size(); ok && left > 0;) {
        const size_t chunk = std::min(left, copyBuffer_.size());
        ok = spool.Read(copyBuffer_.data(), chunk) && file_.Write(copyBuffer_.data(), chunk);
        left -= chunk;
    }
    DropSpool(spool);
    return ok;
}

bool CMeridelFile::WriteConfig() {
    return WriteConfigWithSchema(CBasicConfig::kSchema);
}

bool CMeridelFile::WriteFrames(uint32_t recordCount) {
    return CopyRecords(recordCount, Cut::kByLayout);
}

// Moves recordCount records from the spool into the frame stream, cutting
// them by `cut`, and fills the block index and stream header.
bool CMeridelFile::CopyRecords(uint32_t recordCount, Cut cut) {
    size_t headSize = 2;
    if (cut == Cut::kCell || (cut == Cut::kByLayout && layout_ == 0)) {
        headSize = 64;
    } else if (cut == Cut::kByLayout) {
        switch (layout_) {
            case 1:
                headSize = 40;
                break;
            case 3:
                headSize = 10;
                break;
            case 12:
                headSize = 36;
                break;
            default:
                return false;
        }
    }
    if (!spool_.Seek(0)) {
        return false;
    }
    if (copyBuffer_.empty()) {
        copyBuffer_.resize(kCopyBufferSize);
    }
    const int64_t recordsStart = file_.Tell();
    uint64_t left = spoolBytes_;
    uint8_t head[64];
    for (uint32_t i = 0; i < recordCount; ++i) {
        if (left < headSize || !spool_.Read(head, headSize)) {
            return false;
        }
        uint64_t size = headSize;
        uint64_t minimum = headSize;
        Stamp stamp;
        if (cut == Cut::kLengthPrefixed) {
            size = LoadLE16(head);
        } else if (cut == Cut::kCell || layout_ == 0) {
            stamp = TicksToStamp(LoadLE16(head + 57), LoadLE32(head + 53));
        } else if (layout_ == 1) {
            size += head[0] == 1 ? LoadLE32(head + 16) : 0;
            stamp = {LoadLE32(head + 8), LoadLE32(head + 12)};
        } else if (layout_ == 3) {
            size = LoadLE16(head);
            minimum = 13;
            stamp = TicksToStamp(LoadLE16(head + 8), LoadLE32(head + 4));
        } else {
            size += LoadLE16(head + 14);
            stamp = {LoadLE32(head + 20), LoadLE32(head + 24)};
        }
        // A record shorter than its own header or longer than what is left
        // would misalign every record after it.
        if (size < minimum || size > left || !file_.Write(head, headSize)) {
            return false;
        }
        for (uint64_t rest = size - headSize; rest > 0;) {
            const size_t chunk = static_cast<size_t>(std::min<uint64_t>(rest, copyBuffer_.size()));
            if (!spool_.Read(copyBuffer_.data(), chunk) ||
                !file_.Write(copyBuffer_.data(), chunk)) {
                return false;
            }
            rest -= chunk;
        }
        left -= size;
        CCBInfo& block = blocks_[i / kRecordsPerBlock];
        if (i % kRecordsPerBlock == 0) {
            block.offset =
                static_cast<uint32_t>(file_.Tell() - static_cast<int64_t>(size) - recordsStart);
            block.firstStamp = stamp;
        }
        block.size += static_cast<uint32_t>(size);
        block.lastStamp = stamp;
    }
    header_.recordCount = recordCount;
    if (!blocks_.empty()) {
        header_.firstStamp = blocks_.front().firstStamp;
        header_.lastStamp = blocks_.back().lastStamp;
    }
    return true;
}

bool CMeridelFile::WriteDecodeData() {
    std::vector<uint8_t> body(2, 0);
    StoreLE16(body.data(), static_cast<uint16_t>(ids_.size()));
    for (uint32_t id : ids_) {
        uint32_t number = id ^ kStandardBase;
        if (number != kConfigStream && number != kFrameStream && number != kDecodeStream) {
            number = id;
        }
        if (number != kConfigStream && number != kFrameStream && number != kDecodeStream) {
            continue;
        }
        uint8_t raw[4];
        StoreLE32(raw, id);
        body.insert(body.end(), raw, raw + 4);
        const char* name = number == kFrameStream ? "Decode Data" : "";
        body.insert(body.end(), name, name + strlen(name) + 1);
    }
    uint8_t count[2];
    StoreLE16(count, static_cast<uint16_t>(body.size()));
    return file_.Write(count, sizeof count) && file_.Write(body.data(), body.size());
}

bool CMeridelFile::Compose() {
    if (file_.Size() != 0) {
        return false;
    }
    uint8_t header[kHeaderSize + 2] = {};
    StoreLE32(header, typeCode_);
    memcpy(header + 4, description_, sizeof description_);
    StoreLE16(header + kHeaderSize, static_cast<uint16_t>(ids_.size()));
    std::vector<uint8_t> directory(ids_.size() * kDirectoryEntrySize + 2, 0);
    if (!file_.Write(header, sizeof header) || !file_.Write(directory.data(), directory.size())) {
        return false;
    }
    offsets_[0] = static_cast<uint32_t>(file_.Tell());
    if (!WriteConfig()) {
        return false;
    }
    offsets_[1] = static_cast<uint32_t>(file_.Tell());
    const uint32_t records = std::min(frameCount_, kMaxRecords);
    blocks_.assign((records + kRecordsPerBlock - 1) / kRecordsPerBlock, CCBInfo{});
    std::vector<uint8_t> index(CStreamHeader::kSize + blocks_.size() * CCBInfo::kSize, 0);
    header_ = CStreamHeader(layout_);
    if (!file_.Write(index.data(), index.size()) || !WriteFrames(records)) {
        return false;
    }
    if (decodeData_) {
        offsets_[2] = static_cast<uint32_t>(file_.Tell());
        if (!WriteDecodeData()) {
            return false;
        }
    }
    if (file_.Tell() > int64_t{0xFFFFFFFF}) {
        return false;
    }
    header_.Store(index.data());
    for (size_t i = 0; i < blocks_.size(); ++i) {
        blocks_[i].Store(&index[CStreamHeader::kSize + i * CCBInfo::kSize]);
    }
    for (size_t i = 0; i < ids_.size(); ++i) {
        StoreLE32(&directory[i * kDirectoryEntrySize], ids_[i]);
        StoreLE32(&directory[i * kDirectoryEntrySize + 4], offsets_[i]);
    }
    return file_.Seek(offsets_[1]) && file_.Write(index.data(), index.size()) &&
           file_.Seek(kDirectoryStart) &&
           file_.Write(directory.data(), ids_.size() * kDirectoryEntrySize) && file_.Close();
}

bool CMeridelFile::Finish() {
    if (!open_) {
        return false;
    }
    bool ok = true;
    if (writing_) {
        ok = spool_.Flush() && Compose();
        Discard();
    }
    blocks_.clear();
    blockCount_ = 0;
    open_ = false;
    return ok;
}

void CMeridelFile::Discard() {
    DropSpool(spool_);
}

CPreMeridelFile::CPreMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing)
    : CMeridelFile(file, recordLayout, writing) {
    UseLegacyBases();
    decodeData_ = false;
}

bool CPreMeridelFile::LoadConfig(uint32_t number) {
    return LoadNumberedConfig(number) || LoadNumberedConfig(0);
}

bool CPreMeridelFile::HasStream(uint32_t number) const {
    return HasNumberedStream(number) || HasNumberedStream(0);
}

bool CPreMeridelFile::WriteConfig() {
    return WriteConfigWithSchema(CBasicConfig::kLegacySchema);
}

bool CPreMeridelFile::WriteFrames(uint32_t recordCount) {
    return CopyRecords(recordCount, Cut::kLengthPrefixed);
}

CWANMeridelFile::CWANMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing)
    : CMeridelFile(file, recordLayout, writing) {
    decodeData_ = false;
}

bool CWANMeridelFile::WriteFrames(uint32_t recordCount) {
    return CopyRecords(recordCount, Cut::kLengthPrefixed);
}

CATMMeridelFile::CATMMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing, bool standard)
    : CMeridelFile(file, recordLayout, writing), standard_(standard) {
    decodeData_ = false;
    if (!standard_) {
        UseLegacyBases();
    }
}

bool CATMMeridelFile::LoadConfig(uint32_t number) {
    if (!LoadNumberedConfig(number) && !LoadNumberedConfig(0)) {
        return false;
    }
    lengthPrefixed_ = config_.m_lineCode == 3 || config_.m_lineCode == 4;
    return true;
}

bool CATMMeridelFile::Begin(uint32_t typeCode, uint32_t frameCount, const char* description,
                            uint32_t frameStream, uint32_t configStream) {
    return CMeridelFile::Begin(typeCode, frameCount, description, frameStream,
                               standard_ ? configStream : 0);
}

bool CATMMeridelFile::HasStream(uint32_t number) const {
    return HasNumberedStream(number) || HasNumberedStream(0);
}

bool CATMMeridelFile::WriteConfig() {
    return WriteConfigWithSchema(standard_ ? CBasicConfig::kSchema : CBasicConfig::kLegacySchema);
}

bool CATMMeridelFile::WriteFrames(uint32_t recordCount) {
    return CopyRecords(recordCount, lengthPrefixed_ ? Cut::kLengthPrefixed : Cut::kCell);
}

std::unique_ptr<CMeridelFile> MakeFormatObject(const FileTypeRow& row, DiskFile& file,
                                               int32_t lineCode) {
    uint16_t layout = row.recordLayout;
    if (row.fileType == 7 && (lineCode == 3 || lineCode == 4)) {
        layout = 3;
    }
    const bool writing = lineCode != 0;
    switch (row.variant) {
        case Variant::kLegacyLengthPrefixed:
            return std::make_unique<CPreMeridelFile>(file, layout, writing);
        case Variant::kLengthPrefixed:
            return std::make_unique<CWANMeridelFile>(file, layout, writing);
        case Variant::kLegacyCell:
        case Variant::kCell:
            return std::make_unique<CATMMeridelFile>(file, layout, writing,
                                                     row.variant == Variant::kCell);
        case Variant::kBase:
            break;
    }
    return std::make_unique<CMeridelFile>(file, layout, writing);
}

}  // namespace meridel
