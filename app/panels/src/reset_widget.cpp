#include "kes_panels/reset_widget.h"

#include "ui_reset_widget.h"

#include <QToolButton>

ResetWidget::ResetWidget(QWidget* parent) : QWidget(parent), ui(new Ui::ResetWidget)
{
    ui->setupUi(this);
    connect(ui->ampliftyButton, &QToolButton::clicked, this, &ResetWidget::amplify);
    connect(ui->narrowButton, &QToolButton::clicked, this, &ResetWidget::narrow);
    connect(ui->resetButton, &QToolButton::clicked, this, &ResetWidget::reset);
}

ResetWidget::~ResetWidget()
{
    delete ui;
}
