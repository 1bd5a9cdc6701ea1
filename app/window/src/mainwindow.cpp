#include "kes_window/mainwindow.h"

#include "ui_mainwindow.h"

#include <kes_logic/lidar_logic.h>
#include <kes_measure/accuracy_info.h>
#include <kes_measure/measure_toolbar.h>
#include <kes_player/player_toolbar.h>
#include <kes_toolbar/lidar_toolbar.h>
#include <kes_view/lidargl_widget.h>

#include <QIcon>
#include <QShortcut>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    logic_ = new LidarLogic();
    lidar_tool_bar_ = new LidarToolBar();
    ui->toolBar->addWidget(lidar_tool_bar_);
    player_tool_bar_ = new PlayerToolBar();
    ui->toolBar_2->addWidget(player_tool_bar_);
    measure_tool_bar_ = new MeasureToolBar(this);
    ui->toolBar_3->addWidget(measure_tool_bar_);
    ui->toolBar_3->hide();
    lidar_tool_bar_->setLogic(logic_);
    player_tool_bar_->setLogic(logic_);
    ui->openGLWidget->setLogic(logic_);
    setWindowIcon(QIcon(QStringLiteral(":/Image/logo.png")));
    connectViewSignals();
    connectLidarToolBar();
    connectPlayerToolBar();
    connectMeasureToolBar();
    addMeasureShortcut();
}

// The tool bars wait for their jobs, which use the logic, so the logic goes after them.
MainWindow::~MainWindow()
{
    delete player_tool_bar_;
    delete lidar_tool_bar_;
    delete logic_;
    delete ui;
}

void MainWindow::connectViewSignals()
{
    LidarGLWidget* view = ui->openGLWidget;
    connect(logic_, &LidarLogic::sendBlock, view, &LidarGLWidget::receiveBlock);
    connect(logic_, &LidarLogic::sendMotor, view, &LidarGLWidget::receiveMotor);
    connect(logic_, &LidarLogic::sendState, view, &LidarGLWidget::receiveState);
    connect(logic_, &LidarLogic::sendHV_Voltage, view, &LidarGLWidget::receiveHV_Voltage);
    connect(logic_, &LidarLogic::sendAPD_temp, view, &LidarGLWidget::receiveAPD_temp);
    connect(logic_, &LidarLogic::sigDirChanged, view, &LidarGLWidget::receieveDirChanged);
    connect(logic_, &LidarLogic::sendColorMode, view, &LidarGLWidget::receiveColorMode);
}

void MainWindow::connectLidarToolBar()
{
    connect(logic_, &LidarLogic::sendIP, lidar_tool_bar_, &LidarToolBar::receiveIP);
    connect(lidar_tool_bar_, &LidarToolBar::sig_screenshot_clicked, this, &MainWindow::saveScreenshot);
    connect(lidar_tool_bar_, &LidarToolBar::sig_language, ui->openGLWidget, &LidarGLWidget::setLanguage);
    connect(lidar_tool_bar_, &LidarToolBar::sig_language, logic_, &LidarLogic::setLanguage);
}

void MainWindow::connectPlayerToolBar()
{
    LidarGLWidget* view = ui->openGLWidget;
    connect(player_tool_bar_, &PlayerToolBar::sendBlock, view, &LidarGLWidget::receiveBlock);
    connect(player_tool_bar_, &PlayerToolBar::singleBlock, view, &LidarGLWidget::receiveSingleBlock);
    connect(player_tool_bar_, &PlayerToolBar::openFile, view, &LidarGLWidget::receiveOpenFile);
    connect(logic_, &LidarLogic::send_status, player_tool_bar_, &PlayerToolBar::receive_status);
    connect(lidar_tool_bar_, &LidarToolBar::sig_language, player_tool_bar_, &PlayerToolBar::setLanguage);
}

void MainWindow::connectMeasureToolBar()
{
    LidarGLWidget* view = ui->openGLWidget;
    MeasureToolBar* bar = measure_tool_bar_;
    connect(logic_, &LidarLogic::send_status, bar, &MeasureToolBar::receive_status);
    connect(bar, &MeasureToolBar::sig_start_measure_clicked, view, &LidarGLWidget::startMeasure);
    connect(bar, &MeasureToolBar::sig_true_, view, &LidarGLWidget::setSnCode);
    connect(bar, &MeasureToolBar::sig_true_status, view, &LidarGLWidget::receieveTrueInfo);
    connect(bar, &MeasureToolBar::sig_true_status, view->accuracyInfo(), &AccuracyInfo::recieveStartBtnClicked);
    connect(view, &LidarGLWidget::sig_update_res, bar, &MeasureToolBar::updateMeasureResult);
    connect(view, &LidarGLWidget::sig_update_cur_round, bar, &MeasureToolBar::updateCurRound);
    connect(view, &LidarGLWidget::sig_update_screenshot, this, &MainWindow::saveScreenshot);
    connect(view, &LidarGLWidget::sig_true_cur_round, bar, &MeasureToolBar::updateTrueCurRound);
    connect(view, &LidarGLWidget::sig_true_status_changed, bar, &MeasureToolBar::updateTrueStatus);
    connect(bar, &MeasureToolBar::sig_send_sn, view, &LidarGLWidget::setSnCode);
    connect(bar, &MeasureToolBar::sig_set_config, view->accuracyInfo(), &AccuracyInfo::recieveSetConfigBtnClicked);
}

// The measurement panels are for production technicians; nothing on screen leads to them.
void MainWindow::addMeasureShortcut()
{
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+M")), this);
    connect(shortcut, &QShortcut::activated, this, &MainWindow::toggleMeasureToolBar);
}

void MainWindow::toggleMeasureToolBar()
{
    const bool show = !ui->toolBar_3->isVisible();
    measure_tool_bar_->showPanels(show);
    ui->toolBar_3->setVisible(show);
}
