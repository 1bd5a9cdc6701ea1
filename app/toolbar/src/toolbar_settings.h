#pragma once

#include <functional>

// The device calls of the Confirm button, in the order they run.
struct SettingsCalls {
    std::function<bool()> frequency;
    std::function<bool()> direction;
    std::function<int()> configs;
    std::function<int()> address; // 0 failed, 1 changed (the device restarts), 2 nothing to do
};

enum class SettingsEvent { FrequencyFailed, AddressFailed, AddressChanged };

// Runs the sequence: a refused frequency is reported and the rest goes on, a refused
// direction ends it silently. `goOn` is asked before each call; `report` hears each event
// when it happens, so its box is not held back by the calls after it.
void runSettingsSequence(const SettingsCalls& calls, const std::function<bool()>& goOn,
                         const std::function<void(SettingsEvent)>& report);
