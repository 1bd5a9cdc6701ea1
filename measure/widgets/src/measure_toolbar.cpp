#include "kes_measure/measure_toolbar.h"

#include "ui_measuretoolbar.h"

#include <kes_csv/csv_file_names.h>
#include <kes_prompts/prompts.h>

#include <QRegularExpressionValidator>

namespace {

const QString kStartText = QStringLiteral("开始测量");

void enableAll(std::initializer_list<QWidget*> widgets, bool enabled)
{
    for (QWidget* w : widgets)
        w->setEnabled(enabled);
}

void showVerdict(QLabel* label, bool ok)
{
    label->setStyleSheet(ok ? QStringLiteral("color:green;") : QStringLiteral("color:red;"));
    label->setText(ok ? QStringLiteral("OK") : QStringLiteral("NG"));
}

} // namespace

MeasureToolBar::MeasureToolBar(QWidget* parent) : QWidget(parent), ui(new Ui::MeasureToolBar)
{
    ui->setupUi(this);
    const QRegularExpression digits(QStringLiteral("[0-9]{1,5}"));
    for (QLineEdit* edit : {ui->lineEdit_value_max, ui->lineEdit_value_min, ui->lineEdit_measure_round})
        edit->setValidator(new QRegularExpressionValidator(digits, edit));
    connect(ui->pushButton_set_config, &QPushButton::clicked, this, &MeasureToolBar::sig_set_config);
    setRangeControlsEnabled(false);
    setTrueValueControlsEnabled(false);
    showPanels(false);
}

MeasureToolBar::~MeasureToolBar()
{
    delete ui;
}

void MeasureToolBar::showPanels(bool visible)
{
    ui->widget_measure->setVisible(visible);
    ui->widget_result->setVisible(visible);
}

void MeasureToolBar::setRangeControlsEnabled(bool enabled)
{
    enableAll({ui->lineEdit_value_max, ui->lineEdit_value_min, ui->lineEdit_measure_round, ui->start_measure_button},
              enabled);
}

void MeasureToolBar::setTrueValueControlsEnabled(bool enabled)
{
    enableAll({ui->lineEdit_accepted_point, ui->lineEdit_sn_code, ui->lineEdit_angle, ui->lineEdit_true_test_round,
               ui->lineEdit_true_value, ui->true_start_button, ui->pushButton_set_config},
              enabled);
}

// The start button's text is the only record of a running range test.
void MeasureToolBar::receive_status(uint32_t status)
{
    setRangeControlsEnabled(status != 0 && ui->start_measure_button->text() == kStartText);
    setTrueValueControlsEnabled(status != 0);
}

void MeasureToolBar::on_start_measure_button_clicked()
{
    enableAll({ui->start_measure_button, ui->lineEdit_value_max, ui->lineEdit_value_min, ui->lineEdit_measure_round,
               ui->true_start_button},
              false);
    ui->start_measure_button->setText(QStringLiteral("停止测量"));
    ui->lineEdit_current_round->setText(QStringLiteral("0"));
    ui->label_ok_or_ng->clear();
    ui->pushButton_set_config->setEnabled(false);
    emit sig_start_measure_clicked(ui->lineEdit_value_max->text().toInt(), ui->lineEdit_value_min->text().toInt(),
                                   ui->lineEdit_measure_round->text().toInt());
}

void MeasureToolBar::updateCurRound(int round)
{
    ui->lineEdit_current_round->setText(QString::number(round));
}

void MeasureToolBar::updateMeasureResult(bool isOk)
{
    ui->start_measure_button->setText(kStartText);
    showVerdict(ui->label_ok_or_ng, isOk);
    enableAll({ui->start_measure_button, ui->true_start_button, ui->lineEdit_value_max, ui->lineEdit_value_min,
               ui->lineEdit_measure_round, ui->pushButton_set_config},
              true);
}

void MeasureToolBar::on_true_start_button_clicked()
{
    const QString sn = snCode();
    ui->lineEdit_true_cur_round->setText(QStringLiteral("0"));
    enableAll({ui->lineEdit_sn_code, ui->true_start_button, ui->start_measure_button}, false);
    ui->label_true_result->clear();
    emit sig_true_status();
    emit sig_true_(sn);
}

void MeasureToolBar::updateTrueCurRound(int round)
{
    ui->lineEdit_true_cur_round->setText(QString::number(round));
}

void MeasureToolBar::updateTrueStatus(bool status)
{
    showVerdict(ui->label_true_result, status);
    enableAll({ui->lineEdit_sn_code, ui->true_start_button, ui->start_measure_button}, true);
}

void MeasureToolBar::on_lineEdit_sn_code_editingFinished()
{
    emit sig_send_sn(snCode());
}

// The SN becomes part of file names, where a separator would lead out of their folders: the
// field shows what is used, and the operator is told why it changed.
QString MeasureToolBar::snCode()
{
    const QString typed = ui->lineEdit_sn_code->text();
    const QString sn = kes_csv::fileNamePart(typed);
    if (sn != typed) {
        ui->lineEdit_sn_code->setText(sn);
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "),
                           QStringLiteral("SN码中的“/”和“\\”已替换为“_”：") + sn});
    }
    return sn;
}
