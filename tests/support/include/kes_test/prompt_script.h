#pragma once

#include <kes_prompts/prompts.h>

#include <QObject>
#include <QStringList>

#include <vector>

namespace kes_test {

// Stands in for every box, file dialog, folder browser and sound of the program while in
// scope. Every box must be expected, by its text and in order: any other fails the test at
// once (and a real box shown past the prompts, such as the upgrade's count-down, is checked
// the same way), and one expected but never shown fails it at the end. Completion boxes
// are answered as expected; file dialogs with `next_file`.
class PromptScript : public QObject {
public:
    PromptScript();
    ~PromptScript() override;

    // `answer` is what a completion box returns: 0 opens the folder, 1 closes the box.
    void expect(const QString& text, int answer = 1);
    bool allShown() const { return expected_.isEmpty(); }
    // Whether every expected box has been shown within `ms` (scaled).
    bool waitForAll(int ms = 5000);

    std::vector<Prompt> shown;
    std::vector<FileQuery> queries;
    QStringList folders;
    QString next_file;
    int chimes = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The answer for a box of this text, or -1 after failing the test.
    int take(const QString& text);

    Prompts saved_;
    QStringList expected_;
    QList<int> answers_;
};

} // namespace kes_test
