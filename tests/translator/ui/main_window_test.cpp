// The main window driven as a user would: typing paths, picking formats,
// converting, answering its questions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>

#include "app/settings.h"
#include "engine/engine.h"
#include "support/feldane_builder.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"
#include "ui/main_window.h"
#include "ui/option_dialogs.h"
#include "ui/progress_dialogs.h"
#include "ui_support.h"

namespace translator::ui {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

struct Window {
    TempDir dir;
    ScriptedBoxes boxes;
    MainWindow window{dir.file("translator.config")};

    template <typename T>
    T* Child(const char* name) {
        T* child = window.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QLineEdit* Source() { return Child<QLineEdit>("source"); }
    QLineEdit* Destination() { return Child<QLineEdit>("destination"); }
    QComboBox* Format() { return Child<QComboBox>("format"); }
    QString Summary() { return Child<QTextEdit>("summary")->toPlainText(); }
    std::string DestinationText() { return Destination()->text().toStdString(); }
    void SetSource(const std::string& path) { Source()->setText(QString::fromStdString(path)); }
    void SetDestination(const std::string& path) {
        Destination()->setText(QString::fromStdString(path));
    }
    void SelectFormat(const char* name) {
        const int index = Format()->findText(name);
        ASSERT_GE(index, 0) << name;
        Format()->setCurrentIndex(index);
    }
    bool Enabled(const char* name) { return Child<QWidget>(name)->isEnabled(); }
    void Convert() { QTest::mouseClick(Child<QPushButton>("convert"), Qt::LeftButton); }
    QString Log() {
        EXPECT_NE(window.FolderProgressDialog(), nullptr);
        return window.FolderProgressDialog()->findChild<QTextEdit*>("log")->toPlainText();
    }
};

std::string Parent(const std::string& path) {
    return fs::path(path).parent_path().string();
}

TEST(MainWindow, TypingTheSourceRedetectsAtEveryCompleteFileName) {
    Window w;
    WriteNetMon(w.dir.file("trace"), 3);
    WritePcap(w.dir.file("trace.pcap"), 2);
    w.SetSource(w.dir.path() + "/");
    QStringList analyzers;
    QObject::connect(w.Source(), &QLineEdit::textChanged,
                     [&w, &analyzers] { analyzers << w.Summary().section('\n', 0, 0); });
    QTest::keyClicks(w.Source(), "trace.pcap");
    ASSERT_EQ(analyzers.size(), 10);
    for (int i = 0; i < 10; ++i) {
        const char* expected = i == 4   ? "Analyzer:    \tNetMon (Microsoft, SMS 2.0)"
                               : i == 9 ? "Analyzer:    \ttcpdump/libpcap"
                                        : "";
        EXPECT_EQ(analyzers[i], expected) << i;
    }
    // The folder's proposal was its parent; each recognised file then put its
    // own name there with the selected format's suffix.
    EXPECT_EQ(w.Format()->currentText(), "Trellan (Veltrix)");
    EXPECT_EQ(w.DestinationText(), Parent(w.dir.path()) + "/trace.Trellan.dat");
    EXPECT_TRUE(w.Enabled("convert"));
}

TEST(MainWindow, FolderSourceProposesConvertedFolder) {
    Window w;
    const std::string data = w.dir.file("data");
    fs::create_directory(data);
    w.SetSource(data);
    EXPECT_EQ(w.DestinationText(), w.dir.path());
    EXPECT_EQ(w.Summary(), QString::fromStdString("Convert all files in:\n" + data));
    EXPECT_EQ(w.Format()->itemText(0), "Trellan (Veltrix)");
    EXPECT_NE(w.Format()->findText("HexDump (Ascii)"), -1);
    EXPECT_EQ(w.Format()->findText("Sniffer DOS (Network General)"), -1);
    EXPECT_TRUE(w.Enabled("convert"));

    fs::create_directory(data + "_converted");
    w.SetDestination("");
    w.SetSource(data + "/");
    EXPECT_EQ(w.DestinationText(), data + "_converted");

    w.SetSource(w.dir.file("nothing"));
    EXPECT_EQ(w.Format()->count(), 0);
    EXPECT_EQ(w.Summary(), "");
    EXPECT_FALSE(w.Enabled("convert"));
}

TEST(MainWindow, FormatChoiceRenamesDestinationAndEnablesSettings) {
    Window w;
    const std::string folder = w.dir.file("v1.2");
    fs::create_directory(folder);
    WriteSnoop(folder + "/trace", 2);
    w.SetSource(folder + "/trace");
    w.SelectFormat("NetMon (Microsoft, SMS 2.0)");
    // The dot in the folder's name is no extension of the file's.
    EXPECT_EQ(w.DestinationText(), folder + "/trace.NetMon.cap");
    EXPECT_FALSE(w.Enabled("tcpdumpSettings"));
    w.SelectFormat("tcpdump/libpcap");
    EXPECT_EQ(w.DestinationText(), folder + "/trace.Tcpdump.pcap");
    EXPECT_TRUE(w.Enabled("tcpdumpSettings"));
    EXPECT_FALSE(w.Enabled("feldaneOptions"));
    w.SetDestination(folder + "/out.bin");
    w.SelectFormat("HexDump (Ascii)");
    EXPECT_EQ(w.DestinationText(), folder + "/out.HexDump.txt");
}

TEST(MainWindow, FeldaneOptionsChooseTheInterfaceToConvert) {
    Window w;
    const std::string recording = w.dir.file("capture.rec");
    WriteFile(recording,
              FeldaneRecording({FeldaneBlock(2, {FeldaneFrame(1, 5, 0, RampFrame(64))})}).data());
    WriteText(w.dir.file("capture.xml"),
              "<interface index=1 name=\"Port A\" limtype=\"Fast Ethernet\"/>\n"
              "<interface index=2 name=\"Port B\" limtype=\"Fast Ethernet\"/>\n");
    w.SetSource(recording);
    EXPECT_TRUE(w.Enabled("feldaneOptions"));
    EXPECT_TRUE(w.Summary().contains("Port A (Fast Ethernet)  ** Selected for conversion"));
    // The modal dialog is answered once it shows: check Port B, press OK.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<FeldaneOptionDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QListWidget*>("vexors")->item(1)->setCheckState(Qt::Checked);
        QTest::mouseClick(dialog->findChild<QPushButton*>("ok"), Qt::LeftButton);
    });
    QTest::mouseClick(w.Child<QPushButton>("feldaneOptions"), Qt::LeftButton);
    EXPECT_TRUE(w.Summary().contains("Port B (Fast Ethernet)  ** Selected for conversion"));
    EXPECT_FALSE(w.Summary().contains("Port A (Fast Ethernet)  ** Selected"));
}

TEST(MainWindow, RecognisedFrameCountFillsAnOutOfRangeToField) {
    Window w;
    WriteNetMon(w.dir.file("a.cap"), 500);
    auto* to = w.Child<QLineEdit>("to");
    to->setText("0");
    w.SetSource(w.dir.file("a.cap"));
    EXPECT_EQ(to->text(), "500");
    EXPECT_TRUE(w.Summary().contains("Total Frames:\t500\n"));
    to->setText("20");
    w.SetSource("");
    w.SetSource(w.dir.file("a.cap"));
    EXPECT_EQ(to->text(), "20");

    EXPECT_FALSE(w.Enabled("from"));
    w.Child<QRadioButton>("convertFrom")->setChecked(true);
    EXPECT_TRUE(w.Enabled("from"));
    EXPECT_TRUE(w.Enabled("to"));
    EXPECT_FALSE(w.Enabled("bytes"));
    w.Child<QCheckBox>("slice")->setChecked(true);
    EXPECT_TRUE(w.Enabled("bytes"));
}

TEST(MainWindow, ConvertChecksTheDestinationOfAFile) {
    Window w;
    const std::string source = w.dir.file("trace.pcap");
    WritePcap(source, 3);
    w.SetSource(source);
    w.SetDestination("  ");
    w.Convert();
    w.SetDestination(w.dir.path() + "/TRACE.PCAP");
    w.Convert();
    const std::string existing = w.dir.file("old.cap");
    WriteText(existing, "x");
    w.SetDestination(existing);
    w.boxes.answers = {false};
    w.Convert();
    EXPECT_EQ(w.boxes.texts,
              QStringList({"Please specify a destination file name.",
                           "Destination file name must be different from source file name.",
                           QString::fromStdString("'" + existing +
                                                  "' already exists.\nWould you like to "
                                                  "overwrite it?")}));
    EXPECT_EQ(w.window.ProgressDialog(), nullptr);
    EXPECT_EQ(ReadText(existing), "x");
}

TEST(MainWindow, ConvertChecksTheDestinationOfAFolder) {
    Window w;
    const std::string source = w.dir.file("in");
    fs::create_directory(source);
    WritePcap(source + "/a.pcap", 1);
    const std::string file = w.dir.file("file");
    WriteText(file, "x");
    const std::string existing = w.dir.file("out");
    fs::create_directory(existing);
    const std::string missing = w.dir.file("new/deeper");
    w.SetSource(source);
    for (const std::string& destination :
         {std::string(), w.dir.path() + "/IN", file, existing, missing}) {
        w.SetDestination(destination);
        w.boxes.answers = {false};
        w.Convert();
    }
    const auto text = [](const std::string& format, const std::string& path) {
        return QString::fromStdString(format).arg(QString::fromStdString(path));
    };
    EXPECT_EQ(
        w.boxes.texts,
        QStringList(
            {"Please specify a destination folder.",
             "Destination folder must be different from source folder.",
             text("%1 is not a folder.", file),
             text("Files in %1 may be overwritten.\nWould you like to continue?", existing),
             text("Folder %1 does not exist.\nWould you like to create the folder?", missing)}));
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(w.window.FolderProgressDialog(), nullptr);

    const std::string empty = w.dir.file("empty");
    fs::create_directory(empty);
    w.SetSource(empty);
    w.SetDestination(missing);
    w.boxes.texts.clear();
    w.Convert();
    EXPECT_TRUE(fs::is_directory(missing));
    ASSERT_EQ(w.boxes.texts.size(), 2);
    EXPECT_EQ(w.boxes.texts[1],
              "Source path does not exist, cannot be accessed, or does not contain any files.");
}

TEST(MainWindow, ConvertsOneFileThroughTheProgressDialog) {
    Window w;
    const std::string source = w.dir.file("trace.pcap");
    WritePcap(source, 400, 120);
    w.SetSource(source);
    w.SelectFormat("NetMon (Microsoft, SMS 2.0)");
    w.Convert();
    CProgressDlg* progress = w.window.ProgressDialog();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(w.window.Busy());
    const auto field = [progress](const char* name) {
        return progress->findChild<QLineEdit*>(name)->text();
    };
    EXPECT_EQ(progress->findChild<QLabel*>("status")->text(), "Done");
    EXPECT_EQ(progress->findChild<QPushButton*>("button")->text(), "&OK");
    EXPECT_EQ(progress->findChild<QProgressBar*>("progress")->value(), 100);
    EXPECT_EQ(field("framesWritten"), "400");
    EXPECT_EQ(field("nonDataFrames"), "0");
    EXPECT_EQ(field("bytesRead"), "49600");  // 400 frames and their FCS
    EXPECT_EQ(field("duration"), "00:06:39.000000");
    EXPECT_TRUE(w.boxes.texts.isEmpty());

    TranslatorEngine engine;
    DetectResult* written = engine.Detect(w.dir.file("trace.NetMon.cap"));
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->info->totalFrames, 400);

    QTest::mouseClick(progress->findChild<QPushButton*>("button"), Qt::LeftButton);
    EXPECT_FALSE(progress->isVisible());
}

TEST(MainWindow, ADamagedSourceIsWarnedOfAsInTheFolderLog) {
    Window w;
    const std::string source = w.dir.file("cut.pcap");
    WritePcap(source, 3, 120);
    std::filesystem::resize_file(source, std::filesystem::file_size(source) - 10);
    w.SetSource(source);
    w.SelectFormat("NetMon (Microsoft, SMS 2.0)");
    w.Convert();
    EXPECT_EQ(w.boxes.texts, QStringList{"Warning: the file ends inside frame 3: its data needs "
                                         "120 bytes, 110 are left; 2 frames were converted."});
}

TEST(MainWindow, CancelKeepsAFinishedOutputAndSaysSo) {
    Window w;
    const std::string source = w.dir.file("long.pcap");
    WritePcap(source, 20000, 60);
    w.SetSource(source);
    w.SelectFormat("NetMon (Microsoft, SMS 2.0)");
    // The click comes from the event processing inside the conversion loop.
    bool clicked = false;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (CProgressDlg* progress = w.window.ProgressDialog(); progress && !clicked) {
            clicked = true;
            QTest::mouseClick(progress->findChild<QPushButton*>("button"), Qt::LeftButton);
        }
    });
    cancel.start(0);
    w.Convert();
    ASSERT_TRUE(clicked);
    EXPECT_FALSE(w.window.ProgressDialog()->isVisible());
    EXPECT_TRUE(w.window.ProgressDialog()->IsCanceled());
    EXPECT_FALSE(w.window.Busy());
    const std::string output = w.dir.file("long.NetMon.cap");
    const int64_t frames = FramesReadBack(output);
    EXPECT_LT(frames, 20000);
    EXPECT_EQ(w.boxes.texts,
              QStringList{QString::asprintf("Conversion canceled; %lld frames were written to %s.",
                                            static_cast<long long>(frames), output.c_str())});
}

TEST(MainWindow, ConvertsAFolderWithItsReportInTheLog) {
    Window w;
    const std::string source = w.dir.file("in");
    fs::create_directory(source);
    WritePcap(source + "/a.pcap", 2);
    WritePcap(source + "/b.Tcpdump.pcap", 3);
    WriteNetMon(source + "/c.cap", 1);
    WriteText(source + "/readme.txt", "not a capture");
    const std::string destination = w.dir.file("out.d/nested");
    w.SetSource(source);
    w.SetDestination(destination);
    w.SelectFormat("NetMon (Microsoft, SMS 2.0)");
    w.Convert();
    ASSERT_EQ(w.boxes.texts.size(), 1);
    const QString log = w.Log();
    const QString dashes = QString(80, '-');
    EXPECT_TRUE(log.startsWith(
        QString::fromStdString("Converting files in " + source + " ...\n\n" + dashes.toStdString() +
                               "\nSource File:          \t" + source + "/a.pcap\n")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QString::fromStdString("Dest. File:           \t" + destination +
                                                    "/b.NetMon.cap\nConverting ...\n")));
    EXPECT_TRUE(log.contains(QString::fromStdString(
        source + "/c.cap is already in NetMon (Microsoft, SMS 2.0) file format.\n")));
    EXPECT_TRUE(log.contains(
        QString::fromStdString(source + "/readme.txt is not a recognized data file format.\n")));
    EXPECT_TRUE(log.contains("Conversion completed:\nData Frames Written:  \t3\n"));
    EXPECT_TRUE(
        log.endsWith(dashes +
                     "\n2 files are converted to NetMon (Microsoft, SMS 2.0) format successfully.\n"
                     "2 files are not converted.\n"))
        << log.toStdString();
    EXPECT_EQ(w.window.FolderProgressDialog()->findChild<QPushButton*>("button")->text(), "&OK");
    EXPECT_TRUE(fs::exists(destination + "/a.NetMon.cap"));
    EXPECT_TRUE(fs::exists(destination + "/b.NetMon.cap"));
}

TEST(MainWindow, ExitSavesSettingsThatTheNextConsoleRunUses) {
    TempDir dir;
    const std::string program = dir.file("translator");
    fs::copy_file(TRANSLATOR_BIN_DIR "/translator", program);
    const std::string source = dir.file("wide.snoop");
    WriteSnoop(source, 5, 200);
    {
        ScriptedBoxes boxes;
        MainWindow window(SettingsPath(program));
        window.findChild<QLineEdit*>("source")->setText(QString::fromStdString(source));
        auto* format = window.findChild<QComboBox*>("format");
        format->setCurrentIndex(format->findText("tcpdump/libpcap"));
        window.findChild<QCheckBox*>("slice")->setChecked(true);
        window.findChild<QLineEdit*>("bytes")->setText("64");
        window.show();
        EXPECT_TRUE(window.close());
    }
    const std::string saved = ReadText(dir.file("translator.config"));
    EXPECT_NE(saved.find("slice=1\r\nbytes=64\r\n"), std::string::npos);
    EXPECT_NE(saved.find("sourcedir=" + source + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("format=tcpdump/libpcap\r\n"), std::string::npos);

    int status = -1;
    RunCommand(program + " " + source + " " + dir.file("cut.pcap") + " TD", &status);
    EXPECT_EQ(status, 0);
    TranslatorEngine engine;
    DetectResult* cut = engine.Detect(dir.file("cut.pcap"));
    ASSERT_NE(cut, nullptr);
    TraceReader& reader = *cut->reader;
    ASSERT_TRUE(reader.Open(dir.file("cut.pcap")));
    int frames = 0;
    while (reader.ReadFrame()) {
        ++frames;
        EXPECT_EQ(reader.frame.capturedLength, 64);
        EXPECT_EQ(reader.frame.frameLength, 204);
    }
    reader.Close();
    EXPECT_EQ(frames, 5);

    // The next window starts from the saved choices.
    MainWindow again(SettingsPath(program));
    EXPECT_TRUE(again.findChild<QCheckBox*>("slice")->isChecked());
    EXPECT_EQ(again.findChild<QLineEdit*>("bytes")->text(), "64");
    EXPECT_EQ(again.findChild<QComboBox*>("format")->currentText(), "tcpdump/libpcap");
}

TEST(MainWindow, ExitMakesTheSettingsFolderOrSaysWhyItCannotSave) {
    TempDir dir;
    const std::string user = dir.file("config/veltrix-translator/translator.config");
    const std::string blocked = dir.file("file/translator.config");
    WriteText(dir.file("file"), "");
    ScriptedBoxes boxes;
    for (const std::string& path : {user, blocked}) {
        MainWindow window(path);
        window.show();
        EXPECT_TRUE(window.close());
    }
    EXPECT_NE(ReadText(user).find("convertall=1\r\n"), std::string::npos);
    EXPECT_EQ(boxes.texts,
              QStringList{QString::fromStdString("The settings could not be saved to " + blocked +
                                                 " (Not a directory).")});
}

}  // namespace
}  // namespace translator::ui
