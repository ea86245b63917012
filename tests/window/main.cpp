#include "Desktop.h"
#include "app/QtTranslations.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstring>

// The window tests run the monitor's window on a real X server with a window manager, driven by
// real input events, because focus, activation and dialogs behave there as an operator meets them
// and not as an offscreen window pretends.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!Desktop::start()) {
        Desktop::stop();
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        QtTranslations::install(app); // as the monitor does
        result = RUN_ALL_TESTS();
    }
    Desktop::stop();
    return result;
}
