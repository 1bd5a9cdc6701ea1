#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

namespace Ui {
class MeasureToolBar;
}

// The operator's panel for the view's range test and true-value test: collects the inputs,
// locks its controls while a test runs, shows the verdicts.
class MeasureToolBar : public QWidget {
    Q_OBJECT

public:
    explicit MeasureToolBar(QWidget* parent = nullptr);
    ~MeasureToolBar() override;

    void showPanels(bool visible);

signals:
    void sig_start_measure_clicked(int max, int min, int round);
    void sig_true_(QString SN_code);
    void sig_true_status();
    void sig_send_sn(QString sn);
    void sig_set_config();
    void sig_true_stop();

public slots:
    void receive_status(uint32_t status);
    void updateMeasureResult(bool isOk);
    void updateCurRound(int round);
    void updateTrueCurRound(int round);
    void updateTrueStatus(bool status);

private slots:
    void on_start_measure_button_clicked();
    void on_true_start_button_clicked();
    void on_lineEdit_sn_code_editingFinished();

private:
    void setRangeControlsEnabled(bool enabled);
    void setTrueValueControlsEnabled(bool enabled);
    QString snCode();

    Ui::MeasureToolBar* ui;
};
