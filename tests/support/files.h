#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system temp folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// bytes gzip-compressed.
void WriteGzipFile(const std::string& path, const std::vector<uint8_t>& bytes);
// bytes as one gzip member or one zstd frame; streams of several are their
// concatenation.
std::vector<uint8_t> GzipMember(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ZstdFrame(const std::vector<uint8_t>& bytes);
using Compress = std::vector<uint8_t> (*)(const std::vector<uint8_t>&);
// bytes compressed in parts of at most partSize, one member or frame each.
std::vector<uint8_t> InParts(Compress compress, const std::vector<uint8_t>& bytes, size_t partSize);
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);

// Runs a shell command; its standard output, and its exit status in *status.
std::string RunCommand(const std::string& command, int* status = nullptr);
bool HaveTool(const std::string& name);

// The folder of real captures; empty when it is absent.
std::string CorpusDir();
// Sorted paths of the files in dir whose names end in suffix.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix);

}  // namespace testsupport
