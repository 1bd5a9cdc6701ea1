#include "logo_widget.h"

#include "ui_logo.h"

logo::logo(QWidget* parent) : QWidget(parent), ui(new Ui::logo)
{
    ui->setupUi(this);
}

logo::~logo()
{
    delete ui;
}
