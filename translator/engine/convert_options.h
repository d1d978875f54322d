#pragma once

#include <cstdint>
#include <string>

namespace translator {

// Options of a conversion, from the settings file, the command line or the window.
struct ConvertOptions {
    std::string sourcedir;
    std::string destdir;
    std::string format;
    bool convertall = true;
    int64_t convertfrom = 1;
    int64_t convertto = 0;
    bool slice = false;
    int32_t bytes = 100;
    bool pcapbyteswapped = true;
    bool pcapmodified = false;
    bool pcapremoveatm = false;
    bool pcapnanoseconds = false;
    // Frames in pcap files carry their FCS: read and written as stored, as
    // files written with the FCS inside need.
    bool pcapfcs = false;
    bool offsetFile = false;
    bool hexdumpextended = false;
    // Files of a folder the console converts at once; 0: one per core.
    int32_t jobs = 0;
};

// Most files a folder run converts at once.
constexpr int kMaxJobs = 256;

// The three text fields hold at most this many characters.
constexpr size_t kMaxOptionText = 1023;

}  // namespace translator
