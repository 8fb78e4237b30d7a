#include <QCoreApplication>

#include <gtest/gtest.h>

// Queued connections and QSignalSpy::wait need an application event loop.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
