#include <QApplication>

#include <gtest/gtest.h>

// The tray tests need a QApplication; offscreen unless a display is asked for explicitly
// (QT_QPA_PLATFORM=xcb under Xvfb with a tray), so that listing the tests needs no display.
int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
