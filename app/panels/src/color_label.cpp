#include "kes_panels/color_label.h"

#include "ui_color_label.h"

ColorLabel::ColorLabel(QWidget* parent) : QWidget(parent), ui(new Ui::ColorLabel)
{
    ui->setupUi(this);
}

ColorLabel::~ColorLabel()
{
    delete ui;
}

void ColorLabel::setMode(uint8_t mode)
{
    if (mode == 1)
        return;
    const bool distance = mode == 2;
    ui->label_2->setText(distance ? "Max:20m" : "Max:255");
    ui->label_3->setText(distance ? "Min:0m" : "Min:0");
}
