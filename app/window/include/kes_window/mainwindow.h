#pragma once

#include <QMainWindow>
#include <QString>

class LidarLogic;
class LidarToolBar;
class MeasureToolBar;
class PlayerToolBar;
class QDateTime;

namespace Ui {
class MainWindow;
}

// The one window: the point-cloud view under the tool-bar rows, and the wiring between the
// device object, the view and the tool bars.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    LidarLogic* logic() const { return logic_; }
    // Where a screenshot taken at `at` for serial number `sn` is saved.
    static QString screenshotPath(const QString& sn, const QDateTime& at);

public slots:
    void saveScreenshot(QString sn);

private:
    void connectViewSignals();
    void connectLidarToolBar();
    void connectPlayerToolBar();
    void connectMeasureToolBar();
    void addMeasureShortcut();
    void toggleMeasureToolBar();

    Ui::MainWindow* ui;
    LidarLogic* logic_;
    LidarToolBar* lidar_tool_bar_;
    PlayerToolBar* player_tool_bar_;
    MeasureToolBar* measure_tool_bar_;
};
