#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers the modal boxes the window opens: an expected text is confirmed with OK, any other
// box is noted as unexpected and closed, so a stray box cannot hang a run.
class BoxWatch : public QObject {
public:
    BoxWatch()
    {
        connect(&timer_, &QTimer::timeout, this, &BoxWatch::answer);
        timer_.start(50);
    }

    void expect(const QString& text) { expected << text; }

    QStringList expected;
    QStringList seen;
    QStringList unexpected;

private:
    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        const QString text = box->text();
        if (expected.removeOne(text))
            seen << text;
        else
            unexpected << text;
        box->done(QMessageBox::Ok);
    }

    QTimer timer_;
};
