#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "basic_config.h"
#include "disk_file.h"
#include "file_types.h"
#include "frame_stream.h"
#include "meridel/meridel_api.h"

namespace meridel {

constexpr uint32_t kConfigStream = 24;
constexpr uint32_t kFrameStream = 5;
constexpr uint32_t kDecodeStream = 45;
// The block count is a 16-bit field, and blocks are written with 100 records.
constexpr uint32_t kMaxBlocks = 65535;
constexpr uint32_t kRecordsPerBlock = 100;
constexpr uint32_t kMaxRecords = kMaxBlocks * kRecordsPerBlock;
// Frames the spool may hold so that every stored offset still fits 32 bits,
// leaving room for the header, configuration, block index and decode data.
constexpr uint64_t kMaxSpoolBytes = 0xFFFFFFFFull - 16 * 1024 * 1024;

// A Meridel capture file being written or read. The base class is the
// variant with the decode-data stream (file types 8 and 9); the others
// override how records are cut and which stream ids and schema they use.
class CMeridelFile {
public:
    CMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing);
    virtual ~CMeridelFile();
    CMeridelFile(const CMeridelFile&) = delete;
    CMeridelFile& operator=(const CMeridelFile&) = delete;

    // Replaces the configuration with the object stored in stream `number`.
    virtual bool LoadConfig(uint32_t number);
    // Writing: starts the file and its frame spool. Reading: reads the header,
    // directory, configuration and block index.
    virtual bool Begin(uint32_t typeCode, uint32_t frameCount, const char* description,
                       uint32_t frameStream, uint32_t configStream);
    // Begin with the LAN type code; key names the line (10, 11 or 13).
    virtual bool BeginDefault(uint32_t frameCount, int key, const char* description,
                              uint32_t frameStream, uint32_t configStream);
    virtual bool WriteConfig();
    virtual bool WriteFrames(uint32_t recordCount);
    virtual bool HasStream(uint32_t number) const;

    // Composes the file being written, or releases the one being read.
    bool Finish();
    // Drops a file being written that got no record: its spool goes away.
    void Discard();

    // Takes line, rates, interface and extension from info; normalises
    // info's interface code on the way.
    bool ApplyInfo(FileConfigInfo& info);
    bool AddRecord(const uint8_t* data, uint32_t length);
    // Block `block` as stored, in a buffer from AllocateBuffer; null past the last block.
    uint8_t* ReadBlock(uint32_t block, uint32_t* recordCount);

    void SetFrameCount(uint32_t count) { frameCount_ = count; }
    uint32_t RecordCount() const { return header_.recordCount; }
    const CBasicConfig& Config() const { return config_; }
    const char* Description() const { return description_; }

protected:
    enum class Cut { kByLayout, kLengthPrefixed, kCell };

    void UseLegacyBases();
    bool HasNumberedStream(uint32_t number) const;
    bool LoadNumberedConfig(uint32_t number);
    bool WriteConfigWithSchema(uint16_t schema);
    bool CopyRecords(uint32_t recordCount, Cut cut);

    DiskFile& file_;
    bool writing_;
    bool open_ = false;
    uint16_t layout_;
    bool decodeData_ = true;
    uint32_t idBase1_ = 0x80000000u;
    uint32_t idBase2_ = 0;
    CBasicConfig config_;

private:
    bool BeginWriting(uint32_t typeCode, uint32_t frameCount, const char* description,
                      uint32_t frameStream, uint32_t configStream);
    bool BeginReading(uint32_t frameStream, uint32_t configStream);
    bool ReadBlockIndex(int64_t fileSize);
    bool WriteDecodeData();
    bool Compose();
    bool CreateSpool(DiskFile& spool, uint32_t number) const;

    uint32_t typeCode_ = 0;
    char description_[100] = {};
    std::vector<uint32_t> ids_;
    std::vector<uint32_t> offsets_;
    CStreamHeader header_;
    std::vector<CCBInfo> blocks_;
    uint16_t blockCount_ = 0;
    DiskFile spool_;
    uint64_t spoolBytes_ = 0;
    std::vector<uint8_t> copyBuffer_;
    int64_t dataStart_ = 0;
    int64_t fileSize_ = 0;
    uint32_t frameCount_ = 0;
};

// Legacy length-prefixed files (kind 2).
class CPreMeridelFile : public CMeridelFile {
public:
    CPreMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing);
    bool LoadConfig(uint32_t number) override;
    bool HasStream(uint32_t number) const override;
    bool WriteConfig() override;
    bool WriteFrames(uint32_t recordCount) override;
};

// Standard length-prefixed files.
class CWANMeridelFile : public CMeridelFile {
public:
    CWANMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing);
    bool WriteFrames(uint32_t recordCount) override;
};

// Cell files (file type 7), standard or legacy.
class CATMMeridelFile : public CMeridelFile {
public:
    CATMMeridelFile(DiskFile& file, uint16_t recordLayout, bool writing, bool standard);
    bool LoadConfig(uint32_t number) override;
    bool Begin(uint32_t typeCode, uint32_t frameCount, const char* description,
               uint32_t frameStream, uint32_t configStream) override;
    bool HasStream(uint32_t number) const override;
    bool WriteConfig() override;
    bool WriteFrames(uint32_t recordCount) override;

private:
    bool standard_;
    bool lengthPrefixed_ = false;
};

// The format object for a table row; writing when the caller gave a line code.
std::unique_ptr<CMeridelFile> MakeFormatObject(const FileTypeRow& row, DiskFile& file,
                                               int32_t lineCode);

}  // namespace meridel
