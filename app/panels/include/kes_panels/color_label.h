#pragma once

#include <QWidget>

#include <cstdint>

namespace Ui {
class ColorLabel;
}

// The colour legend: the ramp picture between the maximum and minimum of the colour mode.
class ColorLabel : public QWidget {
    Q_OBJECT

public:
    explicit ColorLabel(QWidget* parent = nullptr);
    ~ColorLabel() override;

    // 2 distance scale, 1 keeps the labels, any other value the intensity scale.
    void setMode(uint8_t mode);

private:
    Ui::ColorLabel* ui;
};
