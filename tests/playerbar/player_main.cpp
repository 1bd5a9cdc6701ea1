#include "kes_resources/view_resources.h"

#include <gtest/gtest.h>

#include <QApplication>

// The tool bar needs an application object and the compiled-in icons.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initViewResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
