#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// One message box with the single button OK.
struct Prompt {
    QMessageBox::Icon icon = QMessageBox::Warning;
    QWidget* parent = nullptr;
    QString title;
    QString text;
};

struct FileQuery {
    QWidget* parent = nullptr;
    QString caption;
    QString directory;
    QString filter;
};

// The modal boxes, the file dialog and the sound of the tool bar and the upgrade window all
// pass through here, so a test can answer each one and notice one nobody expected.
struct Prompts {
    std::function<void(const Prompt&)> message;
    std::function<QString(const FileQuery&)> openFile;
    std::function<void()> chime;
};

// The process-wide instance, starting with the real dialogs. GUI thread only.
Prompts& prompts();
