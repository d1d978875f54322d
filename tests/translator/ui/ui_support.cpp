#include "ui_support.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "support/netmon_builder.h"
#include "support/snoop_builder.h"

namespace translator::ui {

using namespace testsupport;

std::vector<PcapRecord> PcapFrames(int count, uint32_t second, size_t size) {
    std::vector<PcapRecord> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back({second + static_cast<uint32_t>(i), 250000,
                          RampFrame(size, static_cast<uint8_t>(i)), 0});
    }
    return frames;
}

void WritePcap(const std::string& path, int count, size_t size) {
    WriteFile(path, PcapFile(0xA1B2C3D4, false, 1, PcapFrames(count, 1213853938, size)).data());
}

void WriteNetMon(const std::string& path, int count) {
    std::vector<NetMonRecord> records;
    for (int i = 0; i < count; ++i) {
        records.push_back({static_cast<uint64_t>(i) * 1000, 0, RampFrame(64)});
    }
    WriteFile(path, NetMonFile(1, {2008, 6, 19, 5, 38, 58, 0}, records).data());
}

void WriteSnoop(const std::string& path, int count, size_t size) {
    std::vector<SnoopRecord> records;
    for (int i = 0; i < count; ++i) {
        records.push_back({1213853938u + static_cast<uint32_t>(i), 0, RampFrame(size)});
    }
    WriteFile(path, SnoopFile(4, records).data());
}

void SaveScreenshot(QWidget* widget, const QString& name) {
    QDir().mkpath(TRANSLATOR_SCREENSHOT_DIR);
    widget->grab().save(QString(TRANSLATOR_SCREENSHOT_DIR) + "/" + name + ".png");
}

}  // namespace translator::ui
