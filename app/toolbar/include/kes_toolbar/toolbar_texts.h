#pragma once

#include <kes_prompts/prompts.h>

#include <QString>
#include <QStringList>

class QWidget;

// The texts that the language switch puts into the tool bar.
struct ToolBarTexts {
    QString language_icon;
    QString scan_frequency;
    QString direction;
    QStringList directions;
    QString confirm;
    QString filter;
    QStringList colour_modes;
    QString software;
    QString hardware;
};

const ToolBarTexts& toolBarTexts(bool english);

enum class ToolBarMessage { IpNotFound, ConnectionAnomaly, FrequencyFailed, AddressFailed, RestartFailed };

// The box for `message` in the chosen language; `toolBar` is the parent where one is used.
Prompt toolBarPrompt(ToolBarMessage message, bool english, QWidget* toolBar);
