#include <QApplication>

#include <gtest/gtest.h>

// The window and the tool bar need an application object; the window's files lie below its
// directory.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
