#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kes_sim {

struct ReceivedRequest {
    uint16_t code = 0;
    std::vector<uint8_t> payload; // 0 or 4 bytes as sent
};

// A copy of the device's state at one moment.
struct DeviceSnapshot {
    std::string ip_address;        // stored by 0x0101, read back by 0x0201
    std::string active_ip_address; // stored for use by the last apply-configs / reboot
    uint32_t scan_frequency_hz = 0;
    uint32_t active_frequency_hz = 0; // the one the current revolution runs at
    uint32_t filter_level = 0;
    uint32_t scan_direction = 0;
    bool stream_on = false;
    uint32_t restarts = 0;
    uint32_t time_stamp = 0; // of the current revolution
    uint16_t value0102 = 0;
    uint32_t value0107 = 0;
    uint32_t value0109 = 0;
    uint32_t value020C = 0;
    std::map<uint16_t, uint32_t> request_counts; // accepted requests per code
    std::vector<ReceivedRequest> requests;       // the most recent accepted requests, oldest first
    uint32_t malformed_requests = 0;             // too short, bad length or CRC
    uint32_t ignored_while_silent = 0;
};

} // namespace kes_sim
