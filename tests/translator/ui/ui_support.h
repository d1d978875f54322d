#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "ui/message_boxes.h"

class QWidget;

namespace translator::ui {

// Takes the place of the message boxes: keeps every text and answers the
// questions from a script (Yes once the script runs out).
class ScriptedBoxes : public MessageBoxes {
public:
    ScriptedBoxes() { SetMessageBoxes(this); }
    ~ScriptedBoxes() override { SetMessageBoxes(nullptr); }

    void Inform(QWidget*, const QString& text) override { texts << text; }
    bool Ask(QWidget*, const QString& text) override {
        texts << text;
        if (answers.empty()) {
            return true;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QStringList texts;
    std::deque<bool> answers;
};

// count Ethernet frames of 100 bytes, one per second from second.
std::vector<testsupport::PcapRecord> PcapFrames(int count, uint32_t second = 1213853938,
                                                size_t size = 100);
void WritePcap(const std::string& path, int count, size_t size = 100);
void WriteNetMon(const std::string& path, int count);
void WriteSnoop(const std::string& path, int count, size_t size = 64);

// Saves a picture of widget under the screenshot folder.
void SaveScreenshot(QWidget* widget, const QString& name);

}  // namespace translator::ui
