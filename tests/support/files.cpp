#include "files.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "translator-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void WriteGzipFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    gzFile out = gzopen(path.c_str(), "wb");
    if (out == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    const bool ok =
        bytes.empty() || gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                             static_cast<int>(bytes.size());
    if (gzclose(out) != Z_OK || !ok) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<uint8_t> GzipMember(const std::vector<uint8_t>& bytes) {
    z_stream stream{};
    // 31: a zlib window of 15 bits in a gzip wrapper.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("cannot start gzip compression");
    }
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32);
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("cannot gzip-compress");
    }
    return out;
}

std::vector<uint8_t> ZstdFrame(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(ZSTD_compressBound(bytes.size()));
    const size_t size = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3);
    if (ZSTD_isError(size)) {
        throw std::runtime_error("cannot zstd-compress");
    }
    out.resize(size);
    return out;
}

std::vector<uint8_t> InParts(Compress compress, const std::vector<uint8_t>& bytes,
                             size_t partSize) {
    std::vector<uint8_t> out;
    for (size_t at = 0; at < bytes.size(); at += partSize) {
        const size_t end = std::min(bytes.size(), at + partSize);
        const auto part = compress(std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + end));
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) {
            *status = -1;
        }
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    int raw = pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return output;
}

bool HaveTool(const std::string& name) {
    int status = 0;
    RunCommand("command -v " + name + " >/dev/null 2>&1", &status);
    return status == 0;
}

std::string CorpusDir() {
    const char* configured = std::getenv("TRANSLATOR_CORPUS_DIR");
    std::string dir = configured != nullptr ? configured : TRANSLATOR_CORPUS_DIR;
    return fs::is_directory(dir) ? dir : std::string();
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace testsupport
