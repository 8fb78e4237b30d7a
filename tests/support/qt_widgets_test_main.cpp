#include <QApplication>

#include <gtest/gtest.h>

// For test programs that drive real widgets (offscreen platform).
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
