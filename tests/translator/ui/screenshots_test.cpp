// Pictures of every window, so that their layout can be looked at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "engine/engine.h"
#include "ui/about_dialog.h"
#include "ui/folder_chooser.h"
#include "ui/help.h"
#include "ui/main_window.h"
#include "ui/option_dialogs.h"
#include "ui/progress_dialogs.h"
#include "ui_support.h"

namespace translator::ui {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

void Shoot(QWidget* widget, const char* name) {
    widget->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
    QApplication::processEvents();
    SaveScreenshot(widget, name);
    EXPECT_TRUE(fs::file_size(std::string(TRANSLATOR_SCREENSHOT_DIR) + "/" + name + ".png") > 0);
}

TEST(Screenshots, EveryWindow) {
    TempDir dir;
    ScriptedBoxes boxes;
    const std::string folder = dir.file("captures");
    fs::create_directory(folder);
    WriteNetMon(folder + "/office.cap", 500);
    WritePcap(folder + "/lab.pcap", 40);
    MainWindow window(dir.file("translator.config"));
    window.findChild<QLineEdit*>("source")->setText(QString::fromStdString(folder + "/office.cap"));
    auto* format = window.findChild<QComboBox*>("format");
    format->setCurrentIndex(format->findText("tcpdump/libpcap"));
    Shoot(&window, "main_window");

    QTest::mouseClick(window.findChild<QPushButton*>("convert"), Qt::LeftButton);
    ASSERT_NE(window.ProgressDialog(), nullptr);
    Shoot(window.ProgressDialog(), "progress");

    window.findChild<QLineEdit*>("source")->setText(QString::fromStdString(folder));
    window.findChild<QLineEdit*>("destination")->setText(QString::fromStdString(dir.file("out")));
    QTest::mouseClick(window.findChild<QPushButton*>("convert"), Qt::LeftButton);
    ASSERT_NE(window.FolderProgressDialog(), nullptr);
    Shoot(window.FolderProgressDialog(), "progress_folder");

    ConvertOptions options;
    TcpDumpOptionDlg tcpdump(options);
    Shoot(&tcpdump, "tcpdump_options");

    std::vector<SourceInterface> units(3);
    const char* names[] = {"Port A", "Port B", "Uplink"};
    for (int i = 0; i < 3; ++i) {
        units[i].index = i;
        snprintf(units[i].name, sizeof units[i].name, "%s", names[i]);
        snprintf(units[i].limtype, sizeof units[i].limtype, "%s",
                 i == 2 ? "ATM OC3" : "Gigabit Ethernet");
    }
    units[1].selected = true;
    FeldaneOptionDlg feldane(units);
    Shoot(&feldane, "feldane_options");

    FolderChooserDlg chooser(QString::fromStdString(folder));
    chooser.show();
    auto* tree = chooser.findChild<QTreeView*>("folders");
    // The tree fills in the background; give the picture a chance to show the
    // start folder, without making the timing of a loaded machine a failure.
    QTest::qWait(500);
    static_cast<void>(QTest::qWaitFor(
        [tree] {
            const QRect row = tree->visualRect(tree->currentIndex());
            return row.isValid() && tree->viewport()->rect().contains(row.center());
        },
        10000));
    Shoot(&chooser, "select_folder");

    TranslatorEngine engine;
    AboutDlg about(engine);
    Shoot(&about, "about");

    ShowHelp(&window);
    auto* help = window.findChild<QDialog*>("helpWindow");
    ASSERT_NE(help, nullptr) << "help file not found";
    Shoot(help, "help");
    // The only question was whether to create the folder's destination.
    EXPECT_EQ(boxes.texts.size(), 1) << boxes.texts.join("|").toStdString();
}

}  // namespace
}  // namespace translator::ui
