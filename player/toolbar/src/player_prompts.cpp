#include "kes_player/player_prompts.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {

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

void browseFolder(const QString& directory)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(directory));
}

} // namespace

PlayerPrompts& playerPrompts()
{
    static PlayerPrompts instance{askCompletion, browseFolder};
    return instance;
}
