#pragma once

#include "fake_upgrade_device.h"
#include "toolbar_fixture.h"

#include <kes_toolbar/lidar_upgrade.h>

#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>

inline UpgradeTimings quickTimings()
{
    UpgradeTimings timings;
    timings.attempt_pause_ms = 20;
    timings.settle_ms = 20;
    timings.chunk_pause_ms = 5;
    timings.countdown_tick_ms = 40;
    return timings;
}

// The upgrade window opened through the tool bar, against the simulator.
class UpgradeFixture : public ToolBarFixture {
protected:
    void open()
    {
        start();
        bar_->update_clicked();
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<Lidar_Upgrade*>(widget))
                window_ = found;
        ASSERT_TRUE(window_);
        window_->setTimings(quickTimings());
        flags_ = std::make_unique<kes_test::SignalLog>(window_.data(), &Lidar_Upgrade::send_update_flag);
    }

    QString image(const char* name, int size)
    {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'k'));
        return file.fileName();
    }

    void choose(const QString& path)
    {
        script_.next_file = path;
        QTest::mouseClick(window_->findChild<QToolButton*>("openButton"), Qt::LeftButton);
    }

    void clickStart() { QTest::mouseClick(window_->findChild<QPushButton*>("upgradeButton"), Qt::LeftButton); }
    QProgressBar* progress() const { return window_->findChild<QProgressBar*>("progressBar"); }

    QTemporaryDir dir_;
    QPointer<Lidar_Upgrade> window_;
    std::unique_ptr<kes_test::SignalLog> flags_;
};
