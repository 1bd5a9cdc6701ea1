#include <QCoreApplication>

#include <gtest/gtest.h>

// The logic's signals are queued to this thread, so tests need an application object.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
