#include "kes_toolbar/toolbar_texts.h"

const ToolBarTexts& toolBarTexts(bool english)
{
    static const ToolBarTexts chinese{
        QStringLiteral(":/Image/english.png"),
        QStringLiteral("扫描频率"),
        QStringLiteral("雷达旋转方向"),
        {QStringLiteral("逆时针"), QStringLiteral("顺时针")},
        QStringLiteral("确认修改"),
        QStringLiteral("滤波"),
        {QStringLiteral("强度模式"), QStringLiteral("单色模式"), QStringLiteral("距离模式")},
        QStringLiteral("软件"),
        QStringLiteral("硬件"),
    };
    static const ToolBarTexts englishTexts{
        QStringLiteral(":/Image/chinese.png"),
        QStringLiteral("Scan Frequency"),
        QStringLiteral("Lidar Rotational Direction"),
        {QStringLiteral("CCW"), QStringLiteral("CW")},
        QStringLiteral("Confirm"),
        QStringLiteral("Filter"),
        {QStringLiteral("Intensity Model"), QStringLiteral("Single-color Model"), QStringLiteral("Distance Model")},
        QStringLiteral("Software"),
        QStringLiteral("Hardware"),
    };
    return english ? englishTexts : chinese;
}

namespace {

struct MessageTexts {
    const char16_t* english;
    const char16_t* chinese;
};

MessageTexts messageTexts(ToolBarMessage message)
{
    switch (message) {
    case ToolBarMessage::IpNotFound: return {u"Lidar IP not found", u"雷达IP未找到"};
    case ToolBarMessage::ConnectionAnomaly: return {u"Lidar connection anomaly.", u"雷达连接异常."};
    case ToolBarMessage::FrequencyFailed: return {u"Modify frequency failure", u"修改频率失败"};
    case ToolBarMessage::AddressFailed: return {u"Modify IP failure", u"修改IP地址失败"};
    case ToolBarMessage::RestartFailed:
        return {u"Lidar restart fails. Manual restart is required", u"雷达重启失败，需手动重启"};
    }
    return {u"", u""};
}

} // namespace

Prompt toolBarPrompt(ToolBarMessage message, bool english, QWidget* toolBar)
{
    const MessageTexts texts = messageTexts(message);
    Prompt prompt;
    prompt.text = QString::fromUtf16(english ? texts.english : texts.chinese);
    prompt.title = QStringLiteral("Error");
    switch (message) {
    case ToolBarMessage::IpNotFound:
        prompt.title = QStringLiteral(" ");
        prompt.parent = toolBar;
        break;
    case ToolBarMessage::ConnectionAnomaly: break;
    default:
        // The Chinese setting failures come as an information box over the tool bar.
        if (!english) {
            prompt.icon = QMessageBox::Information;
            prompt.parent = toolBar;
        }
    }
    return prompt;
}
