#pragma once

#include <QString>

#include <functional>

class QWidget;

// The completion box and the folder browser of the player, replaceable so a test can answer
// the box and see which folder would open.
struct PlayerPrompts {
    // Information box with "打开文件夹" (returns 0) and "关闭对话框" (returns 1); any other
    // value when the box is dismissed otherwise.
    std::function<int(QWidget* parent, const QString& text)> completion;
    std::function<void(const QString& directory)> openFolder;
};

// The process-wide instance, starting with the real box and desktop services. GUI thread only.
PlayerPrompts& playerPrompts();
