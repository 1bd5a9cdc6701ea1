#include "kes_panels/logo_widget.h"

#include "ui_logo.h"

logo::logo(QWidget* parent) : QWidget(parent), ui(new Ui::logo)
{
    ui->setupUi(this);
    // A plain widget paints its style sheet's background only when asked to; without it only
    // the label is white and the margins show the view through.
    setAttribute(Qt::WA_StyledBackground);
}

logo::~logo()
{
    delete ui;
}
