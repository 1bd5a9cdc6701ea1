#pragma once

#include <kes_measure_config/true_target.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <utility>
#include <vector>

class QLineEdit;

namespace Ui {
class AccuracyInfo;
}

// The true-value window: 14 measuring points (angle, true distance, measured intensity) and
// the two accuracy limits, kept in two files below the application directory.
class AccuracyInfo : public QWidget {
    Q_OBJECT

public:
    explicit AccuracyInfo(QWidget* parent = nullptr);
    ~AccuracyInfo() override;

    // Absolute-error and relative-error limits.
    std::pair<float, float> getThresholds() const;
    // Fills the intensity column from the top, at most 14 values.
    void showIntensities(QList<float> values);

    Ui::AccuracyInfo* ui;
    // The table as last confirmed with OK: 14 rows after the first OK, empty before.
    std::vector<TrueTarget> true_values_;

public slots:
    void recieveStartBtnClicked();
    void recieveSetConfigBtnClicked();
    void okBtnClicked();

private:
    QList<QLineEdit*> angle_edits_;
    QList<QLineEdit*> true_value_edits_;
    QList<QLineEdit*> intensity_edits_;
    QString json_text_;
    QStringList angle_texts_;
    QStringList true_value_texts_;
    float ab_threshold_ = 0;
    float re_threshold_ = 0;
};
