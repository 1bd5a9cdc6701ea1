#include "toolbar_settings.h"

#include <QDebug>

void runSettingsSequence(const SettingsCalls& calls, const std::function<bool()>& goOn,
                         const std::function<void(SettingsEvent)>& report)
{
    if (!goOn())
        return;
    if (!calls.frequency())
        report(SettingsEvent::FrequencyFailed);
    if (!goOn() || !calls.direction() || !goOn())
        return;
    // The lidar answers its own way if the configuration did not take; Confirm goes on.
    (void)calls.configs();
    if (!goOn())
        return;
    const int result = calls.address();
    qDebug() << "ret" << result;
    if (result == 0)
        report(SettingsEvent::AddressFailed);
    else if (result == 1)
        report(SettingsEvent::AddressChanged);
}
