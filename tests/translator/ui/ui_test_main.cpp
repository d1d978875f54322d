#include <gtest/gtest.h>

#include <QApplication>
#include <QThreadPool>

int main(int argc, char** argv) {
    // Listing the tests happens at build time, where no display may exist.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    const int result = RUN_ALL_TESTS();
    // The raster engine paints on pooled threads; join them before exit so the
    // leak check never sees a pool thread half torn down.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
