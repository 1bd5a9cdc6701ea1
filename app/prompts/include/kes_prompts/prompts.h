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

// The modal boxes, the file dialog, the folder browser and the sound of every widget pass
// through here, so a test can answer each one and notice one nobody expected.
struct Prompts {
    std::function<void(const Prompt&)> message;
    // The player's information box with "打开文件夹" (returns 0) and "关闭对话框" (returns 1);
    // any other value when the box is dismissed otherwise.
    std::function<int(QWidget* parent, const QString& text)> completion;
    std::function<QString(const FileQuery&)> openFile;
    std::function<void(const QString& directory)> openFolder;
    std::function<void()> chime;
};

// The process-wide instance, starting with the real dialogs. GUI thread only.
Prompts& prompts();
