#include "kes_prompts/prompts.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QSoundEffect>
#include <QUrl>

namespace {

void showMessage(const Prompt& prompt)
{
    QMessageBox box(prompt.icon, prompt.title, prompt.text, QMessageBox::Ok, prompt.parent);
    box.exec();
}

int askCompletion(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Info"), text, QMessageBox::NoButton, parent);
    QAbstractButton* open = box.addButton(QStringLiteral("打开文件夹"), QMessageBox::ActionRole);
    QAbstractButton* close = box.addButton(QStringLiteral("关闭对话框"), QMessageBox::ActionRole);
    box.setDefaultButton(static_cast<QPushButton*>(open));
    box.exec();
    if (box.clickedButton() == open)
        return 0;
    return box.clickedButton() == close ? 1 : -1;
}

QString chooseFile(const FileQuery& query)
{
    return QFileDialog::getOpenFileName(query.parent, query.caption, query.directory, query.filter);
}

void browseFolder(const QString& directory)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(directory));
}

void playChime()
{
    // One effect for the process, so a second alarm does not cut the first one short.
    static QSoundEffect* effect = [] {
        auto* sound = new QSoundEffect(QCoreApplication::instance());
        sound->setSource(QUrl(QStringLiteral("qrc:/Sound/Windows Ding.wav")));
        return sound;
    }();
    effect->play();
}

} // namespace

Prompts& prompts()
{
    static Prompts instance{showMessage, askCompletion, chooseFile, browseFolder, playChime};
    return instance;
}
