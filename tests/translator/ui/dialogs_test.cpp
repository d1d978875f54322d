// The secondary dialogs on their own, and the path rules behind the window.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "engine/engine.h"
#include "engine/format_table.h"
#include "translator/conversion.h"
#include "ui/about_dialog.h"
#include "ui/folder_chooser.h"
#include "ui/help.h"
#include "ui/option_dialogs.h"
#include "ui/paths.h"
#include "ui/progress_dialogs.h"
#include "ui/window_icon.h"
#include "ui_support.h"

namespace translator::ui {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

TEST(Paths, SuffixReplacementTouchesOnlyTheFileName) {
    EXPECT_EQ(ReplaceSuffix("/d/trace.NetMon.cap", FMT_TD), "/d/trace.Tcpdump.pcap");
    EXPECT_EQ(ReplaceSuffix("/d/TRACE.NETMON.CAP", FMT_SO), "/d/TRACE.Sun.snoop");
    EXPECT_EQ(ReplaceSuffix("/d/trace.cap", FMT_N2), "/d/trace.NetMon.cap");
    EXPECT_EQ(ReplaceSuffix("/d.e/trace", FMT_N2), "/d.e/trace.NetMon.cap");
    EXPECT_EQ(ReplaceSuffix("/d/.hidden", FMT_TX), "/d/.hidden.HexDump.txt");
    EXPECT_EQ(ReplaceSuffix("trace.x.y", FMT_TX), "trace.x.HexDump.txt");
    EXPECT_EQ(SourcePath("  /data/in/  "), "/data/in");
    EXPECT_EQ(SourcePath("/"), "/");
    TempDir dir;
    EXPECT_EQ(ReduceToFolder(dir.path()), dir.path());
    EXPECT_EQ(ReduceToFolder(dir.file("new/x.cap")), dir.file("new"));
    EXPECT_EQ(ReduceToFolder("/top"), "/top");
    int64_t value = 7;
    EXPECT_FALSE(ParseInt64("x12", &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(ParseInt64(" 12abc", &value));
    EXPECT_EQ(value, 12);
}

TEST(TcpDumpOptionDlg, ShowsAndStoresTheChoices) {
    ConvertOptions options;
    options.pcapnanoseconds = true;
    options.pcapremoveatm = true;
    {
        TcpDumpOptionDlg dialog(options);
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("nanoseconds")->isChecked());
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("swapped")->isChecked());
        dialog.findChild<QRadioButton*>("modified")->setChecked(true);
        dialog.findChild<QRadioButton*>("native")->setChecked(true);
        dialog.reject();
    }
    EXPECT_TRUE(options.pcapnanoseconds);
    EXPECT_TRUE(options.pcapbyteswapped);

    TcpDumpOptionDlg dialog(options);
    dialog.findChild<QRadioButton*>("modified")->setChecked(true);
    dialog.findChild<QRadioButton*>("native")->setChecked(true);
    QTest::mouseClick(dialog.findChild<QPushButton*>("ok"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(options.pcapmodified);
    EXPECT_FALSE(options.pcapnanoseconds);
    EXPECT_FALSE(options.pcapbyteswapped);
    EXPECT_TRUE(options.pcapremoveatm);
}

std::vector<SourceInterface> Units(std::initializer_list<bool> selected) {
    std::vector<SourceInterface> units;
    int index = 3;
    for (bool s : selected) {
        SourceInterface unit;
        unit.selected = s;
        unit.index = index++;
        snprintf(unit.name, sizeof unit.name, "Port %d", unit.index);
        snprintf(unit.limtype, sizeof unit.limtype, "Gigabit Ethernet");
        units.push_back(unit);
    }
    return units;
}

std::vector<bool> Checks(QListWidget* list) {
    std::vector<bool> checks;
    for (int i = 0; i < list->count(); ++i) {
        checks.push_back(list->item(i)->checkState() == Qt::Checked);
    }
    return checks;
}

TEST(FeldaneOptionDlg, KeepsOneUnitAndFallsBackToTheFirst) {
    FeldaneOptionDlg dialog(Units({false, true, true}));
    auto* list = dialog.findChild<QListWidget*>("vexors");
    EXPECT_EQ(list->item(0)->text(), " Vexor 3: Port 3 (Gigabit Ethernet)");
    EXPECT_EQ(Checks(list), std::vector<bool>({false, true, false}));
    list->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(Checks(list), std::vector<bool>({false, false, true}));
    list->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(Checks(list), std::vector<bool>({false, false, false}));
    QTest::mouseClick(dialog.findChild<QPushButton*>("ok"), Qt::LeftButton);
    std::vector<bool> selected;
    for (const SourceInterface& unit : dialog.Interfaces()) {
        selected.push_back(unit.selected);
    }
    EXPECT_EQ(selected, std::vector<bool>({true, false, false}));

    FeldaneOptionDlg none(Units({false, false}));
    EXPECT_EQ(Checks(none.findChild<QListWidget*>("vexors")), std::vector<bool>({true, false}));
    FeldaneOptionDlg cancelled(Units({false, true}));
    cancelled.findChild<QListWidget*>("vexors")->item(0)->setCheckState(Qt::Checked);
    cancelled.reject();
    EXPECT_TRUE(cancelled.Interfaces()[1].selected);
}

TEST(FolderChooser, PathRules) {
    for (const char* valid : {"/", "/data", "/data/captures/", "/a b/c-d_e", "/x.y"}) {
        EXPECT_TRUE(IsValidFolderPath(valid)) << valid;
    }
    for (const char* invalid :
         {"", "data", "./data", "/data//x", "/data/x.", "/data/.x", "/data/ x", "/data/x\t", "/a*b",
          "/a:b", "/a<b", "/a>b", "/a?b", "/a\\b", "/a|b", "/a\"b"}) {
        EXPECT_FALSE(IsValidFolderPath(invalid)) << invalid;
    }
}

TEST(FolderChooser, RefusesInvalidPathsAndCreatesMissingOnes) {
    TempDir dir;
    ScriptedBoxes boxes;
    FolderChooserDlg chooser(QString::fromStdString(dir.path()));
    auto* path = chooser.findChild<QLineEdit*>("path");
    EXPECT_EQ(path->text().toStdString(), dir.path());
    auto* ok = chooser.findChild<QPushButton*>("ok");
    EXPECT_TRUE(ok->isEnabled());
    const QString dotted = QString::fromStdString(dir.file("bad./x"));
    const QString missing = QString::fromStdString(dir.file("new/deeper"));
    const std::pair<QString, bool> attempts[] = {
        {"relative/dir", false}, {dotted, false}, {missing, false}, {missing, true}};
    for (const auto& [text, answer] : attempts) {
        path->setText(text);
        boxes.answers = {answer};
        QTest::mouseClick(ok, Qt::LeftButton);
    }
    ASSERT_EQ(boxes.texts.size(), 4);
    EXPECT_EQ(boxes.texts[0], "The folder:\n\nrelative/dir\n\nis invalid. Please reenter.");
    EXPECT_EQ(boxes.texts[1], "The folder:\n\n" + dotted + "\n\nis invalid. Please reenter.");
    EXPECT_EQ(boxes.texts[2], "The folder:\n\n" + missing +
                                  "\n\ndoes not exist. Do you want the folder to be created?");
    EXPECT_EQ(boxes.texts[3], boxes.texts[2]);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(chooser.Folder(), missing);
    EXPECT_TRUE(fs::is_directory(missing.toStdString()));

    const std::string file = dir.file("file");
    WriteText(file, "x");
    FolderChooserDlg blocked(QString::fromStdString(dir.path()));
    blocked.findChild<QLineEdit*>("path")->setText(QString::fromStdString(file + "/sub"));
    QTest::mouseClick(blocked.findChild<QPushButton*>("ok"), Qt::LeftButton);
    EXPECT_EQ(boxes.texts.last(), QString::fromStdString("The folder:\n\n" + file +
                                                         "/sub\n\ncan not be created. Please "
                                                         "double check."));
    EXPECT_NE(blocked.result(), QDialog::Accepted);
}

TEST(AboutDlg, ListsWhatTheModulesReadAndWrite) {
    TranslatorEngine engine;
    AboutDlg about(engine);
    auto* table = about.findChild<QTreeWidget*>("formats");
    QMap<QString, QString> rows;
    for (int i = 0; i < table->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = table->topLevelItem(i);
        rows[row->text(0)] = row->text(1) + "|" + row->text(2) + "|" + row->text(3);
    }
    EXPECT_FALSE(rows.contains("Sniffer DOS (Network General)"));
    EXPECT_FALSE(rows.contains("Unknown Analyzer Type"));
    EXPECT_EQ(rows["tcpdump/libpcap"], "TD|.pcap|Ethernet, Token Ring, FDDI, WAN, 802.11 Wireless");
    EXPECT_EQ(rows["Protocol Inspector (Fluke)"],
              "PR|.cap|(Write Only) Ethernet, Token Ring, FDDI");
    EXPECT_TRUE(
        rows["HexDump (Ascii)"].startsWith("TX|.txt|(Write Only) Ethernet, Token Ring, "
                                           "ARCNET, FDDI, WAN, ATM, 802.11 Wireless"));
    EXPECT_EQ(table->columnWidth(3), 800);

    EXPECT_EQ(NetworkTypes("ATM", ""), "(Read Only) ATM");
    EXPECT_EQ(NetworkTypes("", "WAN"), "(Write Only) WAN");
    EXPECT_EQ(NetworkTypes("Ethernet", "Ethernet, FDDI"), "Ethernet");
    EXPECT_EQ(NetworkTypes("", ""), "");
}

TEST(Help, FormatTableSaysWhatTheModulesReadAndWrite) {
    const auto bytes = ReadFile(HelpFilePath().toStdString());
    const std::string guide(bytes.begin(), bytes.end());
    for (const char* row :
         {"<tr><td>tcpdump/libpcap</td><td>TD</td><td>.pcap</td><td>.Tcpdump.pcap</td>"
          "<td>yes</td><td>yes</td></tr>",
          "<tr><td>Sniffer DOS (Network General)</td><td>SN</td><td>.syc</td><td>.Sniffer.syc</td>"
          "<td></td><td></td></tr>",
          "<tr><td>Quillon (Veltrix)</td><td>QL</td><td>.trc</td><td>.Quillon.trc</td>"
          "<td>yes</td><td></td></tr>",
          "<tr><td>HexDump (Ascii)</td><td>TX</td><td>.txt</td><td>.HexDump.txt</td>"
          "<td></td><td>yes</td></tr>"}) {
        EXPECT_NE(guide.find(row), std::string::npos) << row;
    }
}

TEST(CProgressDlg, CountsDurationAndShowsErrorsAsTheyCome) {
    ScriptedBoxes boxes;
    TempDir dir;
    WritePcap(dir.file("in.pcap"), 500);
    CProgressDlg progress;
    progress.show();
    TranslatorEngine engine;
    engine.SetSink(&progress);
    // A cancel request that does not close the window shows the final text.
    progress.SetCanceled(true);
    EXPECT_TRUE(engine.ConvertFile(dir.file("in.pcap"), dir.file("out.cap"), FMT_N2, {}));
    EXPECT_EQ(progress.findChild<QLabel*>("status")->text(), "Canceled by user");
    EXPECT_EQ(progress.findChild<QPushButton*>("button")->text(), "&OK");
    EXPECT_EQ(FramesReadBack(dir.file("out.cap")), 0);  // finished, without frames

    progress.SetCanceled(false);
    EXPECT_FALSE(
        engine.ConvertFile(dir.file("in.pcap"), dir.path() + "/no/such/out.cap", FMT_N2, {}));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0].toStdString(),
              "Error creating file " + dir.path() +
                  "/no/such/out.cap for writing.\n(No such file or directory)\n");
    EXPECT_EQ(progress.Messages(), nullptr);
    engine.SetSink(nullptr);

    // Once closed, the dialog takes no more reports.
    progress.reject();
    TraceInfo info;
    progress.Finished(info, "Done");
    progress.AddMessage("late");
    EXPECT_EQ(progress.findChild<QLabel*>("status")->text().toStdString(),
              "Error creating file " + dir.path() +
                  "/no/such/out.cap for writing.\n(No such file or directory)");
    EXPECT_EQ(boxes.texts.size(), 1);
}

TEST(CProgressMultiDlg, DotsAndCompletionBlock) {
    CProgressMultiDlg log;
    TraceInfo info;
    log.Progress(info, "Converting ...");
    for (int i = 0; i < 171 * 82; ++i) {
        log.Progress(info, nullptr);
    }
    info.framesWritten = 5;
    info.bytesRead = 300;
    info.firstSeconds = 100;
    info.lastSeconds = 3825;
    info.firstMicros = info.lastMicros = 7;
    log.Finished(info, "Done");
    const QString text = log.findChild<QTextEdit*>("log")->toPlainText();
    EXPECT_EQ(text,
              "Converting ...\n" + QString(81, '.') +
                  "\n.\nConversion completed:\n"
                  "Data Frames Written:  \t5\nNon Data Frames Read: \t0\n"
                  "Frame Bytes Read:     \t300 bytes\nTrace Duration:       \t01:02:05.000000\n");
}

// The icon is linked into the program (a static library's resources are easily
// lost) and drawn without an image plugin.
TEST(WindowIcon, DrawsTheEmbeddedSvg) {
    const QImage image = WindowIcon().pixmap(48).toImage();
    ASSERT_EQ(image.size(), QSize(48, 48));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(24, 4)), 255);
}

}  // namespace
}  // namespace translator::ui
