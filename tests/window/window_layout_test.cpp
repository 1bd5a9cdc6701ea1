#include "window_fixture.h"

#include "info_widget.h"
#include "lidar_toolbar.h"
#include "lidargl_widget.h"

#include <QLabel>
#include <QLayout>
#include <QToolBar>
#include <QToolButton>

using WindowLayout = WindowFixture;

TEST_F(WindowLayout, FormGivesTitleSizesAndOneViewWithoutMargins)
{
    EXPECT_EQ(window_->objectName(), "MainWindow");
    EXPECT_EQ(window_->windowTitle(), "KESTRA VIEWER");
    EXPECT_FALSE(window_->windowIcon().isNull());
    EXPECT_EQ(window_->size(), QSize(1300, 800));
    EXPECT_EQ(window_->minimumWidth(), 1300);
    EXPECT_EQ(window_->maximumSize(), QSize(16777215, 16777215));
    EXPECT_EQ(window_->sizePolicy().horizontalStretch(), 4);
    EXPECT_EQ(window_->sizePolicy().verticalStretch(), 3);
    EXPECT_EQ(window_->contextMenuPolicy(), Qt::NoContextMenu);

    QWidget* central = window_->centralWidget();
    ASSERT_NE(central, nullptr);
    EXPECT_EQ(central->objectName(), "centralWidget");
    QLayout* layout = central->layout();
    EXPECT_EQ(layout->objectName(), "verticalLayout");
    EXPECT_EQ(layout->spacing(), 6);
    EXPECT_EQ(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    ASSERT_EQ(layout->count(), 1);
    auto* view = qobject_cast<LidarGLWidget*>(layout->itemAt(0)->widget());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->objectName(), "openGLWidget");
    EXPECT_EQ(view->minimumSize(), QSize(0, 100));
    EXPECT_TRUE(view->glReady());

    window_->resize(1000, 800);
    QApplication::processEvents();
    EXPECT_EQ(window_->width(), 1300);
}

TEST_F(WindowLayout, ConnectionToolBarFormsTheFirstRowAndTheThirdBarStaysHidden)
{
    auto* first = child<QToolBar>("toolBar");
    auto* second = child<QToolBar>("toolBar_2");
    auto* third = child<QToolBar>("toolBar_3");
    ASSERT_TRUE(first && second && third);
    for (QToolBar* bar : {first, second, third}) {
        EXPECT_EQ(window_->toolBarArea(bar), Qt::TopToolBarArea) << bar->objectName().toStdString();
        EXPECT_EQ(bar->windowTitle(), bar->objectName());
    }
    EXPECT_FALSE(window_->toolBarBreak(first));
    EXPECT_TRUE(window_->toolBarBreak(second));
    EXPECT_FALSE(window_->toolBarBreak(third));
    EXPECT_TRUE(third->isHidden());
    EXPECT_GE(second->geometry().top(), first->geometry().bottom());

    auto* bar = child<LidarToolBar>("LidarToolBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(first->isAncestorOf(bar));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GE(window_->centralWidget()->geometry().top(), second->geometry().bottom());
}

TEST_F(WindowLayout, LanguageSwitchReachesThePanelAndTheLogicButNotTheTitle)
{
    auto* caption = child<LidarGLWidget>("openGLWidget")->infoWidget()->findChild<QLabel*>("label_2");
    ASSERT_NE(caption, nullptr);
    const QString chinese = caption->text();

    QTest::mouseClick(child<QToolButton>("toolButton_language"), Qt::LeftButton);
    EXPECT_EQ(caption->text(), "Lidar Status:");
    EXPECT_TRUE(logic()->language_);
    EXPECT_EQ(window_->windowTitle(), "KESTRA VIEWER");

    QTest::mouseClick(child<QToolButton>("toolButton_language"), Qt::LeftButton);
    EXPECT_EQ(caption->text(), chinese);
    EXPECT_FALSE(logic()->language_);
}
