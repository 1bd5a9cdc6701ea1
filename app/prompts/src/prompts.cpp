#include "kes_prompts/prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QSoundEffect>
#include <QUrl>

namespace {

void showMessage(const Prompt& prompt)
{
    QMessageBox box(prompt.icon, prompt.title, prompt.text, QMessageBox::Ok, prompt.parent);
    box.exec();
}

QString chooseFile(const FileQuery& query)
{
    return QFileDialog::getOpenFileName(query.parent, query.caption, query.directory, query.filter);
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
    static Prompts instance{showMessage, chooseFile, playChime};
    return instance;
}
