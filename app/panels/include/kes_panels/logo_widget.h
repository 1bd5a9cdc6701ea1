#pragma once

#include <QWidget>

namespace Ui {
class logo;
}

// The white plate with the logo picture in the view's bottom-right corner.
class logo : public QWidget {
    Q_OBJECT

public:
    explicit logo(QWidget* parent = nullptr);
    ~logo() override;

private:
    Ui::logo* ui;
};
