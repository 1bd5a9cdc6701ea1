#pragma once

#include <QWidget>

namespace Ui {
class ResetWidget;
}

// The three view buttons in the view's top-left corner.
class ResetWidget : public QWidget {
    Q_OBJECT

public:
    explicit ResetWidget(QWidget* parent = nullptr);
    ~ResetWidget() override;

signals:
    void reset();
    void amplify();
    void narrow();

private:
    Ui::ResetWidget* ui;
};
