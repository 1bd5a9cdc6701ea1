#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class InfoWidget;
}

// The status panel over the view: every value arrives as finished text.
class InfoWidget : public QWidget {
    Q_OBJECT

public:
    explicit InfoWidget(QWidget* parent = nullptr);
    ~InfoWidget() override;

    void setFreq(const QString& text);
    void setState(const QString& text);
    void setVoltage(const QString& text);
    void setTemp(const QString& text);
    void setAngle(const QString& text);
    void setIntensity(const QString& text);
    void setDistance(const QString& text);
    // 1 Chinese, 0 English, anything else is ignored.
    void setLanguage(int num);

private:
    void setCaptions(bool chinese);
    void translateState(bool chinese);

    Ui::InfoWidget* ui;
};
