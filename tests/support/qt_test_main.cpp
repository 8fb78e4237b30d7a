#include <QCoreApplication>

#include <gtest/gtest.h>

// For test programs that need an application object: queued connections,
// signal spies and the event loop.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
