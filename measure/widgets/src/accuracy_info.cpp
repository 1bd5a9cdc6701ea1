#include "kes_measure/accuracy_info.h"

#include "ui_accuracyinfo.h"

#include <kes_measure_config/accuracy_config.h>
#include <kes_measure_config/threshold_config.h>

#include <QCoreApplication>
#include <QLineEdit>

namespace {

constexpr int kPoints = 14;

QString appDir()
{
    return QCoreApplication::applicationDirPath();
}

QList<QLineEdit*> edits(QWidget* form, const QString& kind)
{
    QList<QLineEdit*> list;
    for (int n = 1; n <= kPoints; ++n)
        list.append(form->findChild<QLineEdit*>(QStringLiteral("lineEdit_%1_%2").arg(kind).arg(n)));
    return list;
}

} // namespace

AccuracyInfo::AccuracyInfo(QWidget* parent) : QWidget(parent), ui(new Ui::AccuracyInfo)
{
    ui->setupUi(this);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &AccuracyInfo::okBtnClicked);
    setWindowTitle(QStringLiteral("测试数据"));
    angle_edits_ = edits(this, QStringLiteral("angle"));
    true_value_edits_ = edits(this, QStringLiteral("true_value"));
    intensity_edits_ = edits(this, QStringLiteral("intensity"));
    for (QLineEdit* edit : intensity_edits_)
        edit->setEnabled(false);
    threshold_config::Texts texts;
    if (threshold_config::read(appDir(), texts)) {
        ui->lineEdit_ab_value->setText(texts.absolute);
        ui->lineEdit_re_value->setText(texts.relative);
    }
    ab_threshold_ = ui->lineEdit_ab_value->text().toFloat();
    re_threshold_ = ui->lineEdit_re_value->text().toFloat();
}

AccuracyInfo::~AccuracyInfo()
{
    delete ui;
}

std::pair<float, float> AccuracyInfo::getThresholds() const
{
    return {ab_threshold_, re_threshold_};
}

void AccuracyInfo::showIntensities(QList<float> values)
{
    for (int i = 0; i < values.size() && i < intensity_edits_.size(); ++i)
        intensity_edits_[i]->setText(QString::number(values[i], 'g', 6));
}

void AccuracyInfo::recieveStartBtnClicked()
{
    for (QLineEdit* edit : intensity_edits_)
        edit->clear();
}

void AccuracyInfo::recieveSetConfigBtnClicked()
{
    show();
    ui->lineEdit_angle_1->setFocus();
}

void AccuracyInfo::okBtnClicked()
{
    true_values_.clear();
    angle_texts_.clear();
    true_value_texts_.clear();
    for (int i = 0; i < kPoints; ++i) {
        angle_texts_.append(angle_edits_[i]->text());
        true_value_texts_.append(true_value_edits_[i]->text());
    }
    for (int i = 0; i < kPoints; ++i) {
        const bool filled = !angle_texts_[i].isEmpty() && !true_value_texts_[i].isEmpty();
        true_values_.push_back(filled ? TrueTarget{angle_texts_[i].toDouble(), true_value_texts_[i].toDouble()}
                                      : TrueTarget{});
    }
    // A file that cannot be written keeps its old content; the values confirmed here hold for
    // this run and the window closes either way.
    json_text_ = accuracy_config::jsonText(true_values_);
    (void)accuracy_config::write(appDir(), json_text_);
    ab_threshold_ = ui->lineEdit_ab_value->text().toFloat();
    re_threshold_ = ui->lineEdit_re_value->text().toFloat();
    (void)threshold_config::write(appDir(), ab_threshold_, re_threshold_);
    close();
}
