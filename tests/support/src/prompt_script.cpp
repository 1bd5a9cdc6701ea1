#include "kes_test/prompt_script.h"

#include "kes_test/qt_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>

namespace kes_test {

PromptScript::PromptScript() : saved_(prompts())
{
    prompts().message = [this](const Prompt& prompt) {
        shown.push_back(prompt);
        take(prompt.text);
    };
    prompts().completion = [this](QWidget* parent, const QString& text) {
        shown.push_back({QMessageBox::Information, parent, QStringLiteral("Info"), text});
        return take(text);
    };
    prompts().openFile = [this](const FileQuery& query) {
        queries.push_back(query);
        return next_file;
    };
    prompts().openFolder = [this](const QString& folder) { folders << folder; };
    prompts().chime = [this] { ++chimes; };
    qApp->installEventFilter(this);
}

PromptScript::~PromptScript()
{
    prompts() = saved_;
    EXPECT_TRUE(expected_.isEmpty()) << "never shown: " << expected_.join(" | ").toStdString();
}

void PromptScript::expect(const QString& text, int answer)
{
    expected_ << text;
    answers_ << answer;
}

bool PromptScript::waitForAll(int ms)
{
    return waitFor([this] { return expected_.isEmpty(); }, ms);
}

int PromptScript::take(const QString& text)
{
    if (expected_.isEmpty() || expected_.first() != text) {
        ADD_FAILURE() << "unexpected box: " << text.toStdString();
        return -1;
    }
    expected_.removeFirst();
    return answers_.takeFirst();
}

bool PromptScript::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (event->type() == QEvent::Show && !event->spontaneous() && box && box->isWindow()) {
        shown.push_back({box->icon(), box->parentWidget(), box->windowTitle(), box->text()});
        if (take(box->text()) < 0)
            QMetaObject::invokeMethod(box, &QDialog::reject, Qt::QueuedConnection);
    }
    return false;
}

} // namespace kes_test
