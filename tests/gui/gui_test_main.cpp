#include "view_resources.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widgets need an application object; the panels need the compiled-in icons.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initViewResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
