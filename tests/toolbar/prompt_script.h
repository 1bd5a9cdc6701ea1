#pragma once

#include <kes_prompts/prompts.h>

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>

#include <vector>

// Stands in for the real boxes, file dialog and sound. Every box must have been expected,
// by its text and in order; any other box fails the test. Each box is answered with OK.
class PromptScript {
public:
    PromptScript() : saved_(prompts())
    {
        prompts().message = [this](const Prompt& prompt) {
            shown.push_back(prompt);
            if (expected_.isEmpty() || expected_.first() != prompt.text)
                ADD_FAILURE() << "unexpected box: " << prompt.text.toStdString();
            else
                expected_.removeFirst();
        };
        prompts().openFile = [this](const FileQuery& query) {
            queries.push_back(query);
            return next_file;
        };
        prompts().chime = [this] { ++chimes; };
    }

    ~PromptScript()
    {
        prompts() = saved_;
        EXPECT_TRUE(expected_.isEmpty()) << "never shown: " << expected_.join(" | ").toStdString();
    }

    void expect(const QString& text) { expected_ << text; }
    bool waitForAll(int ms = 5000)
    {
        return QTest::qWaitFor([this] { return expected_.isEmpty(); }, ms);
    }

    std::vector<Prompt> shown;
    std::vector<FileQuery> queries;
    QString next_file;
    int chimes = 0;

private:
    Prompts saved_;
    QStringList expected_;
};
