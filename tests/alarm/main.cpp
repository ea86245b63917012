#include <QCoreApplication>

#include <gtest/gtest.h>

// The listener hands datagrams to the thread of the application object.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
