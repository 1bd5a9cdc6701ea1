#pragma once

#include <cstdint>
#include <vector>

namespace kes_sdk {

// Removes mixed "tail" points between a near edge and the background. Level 0, fewer than
// seven ranges or a frequency other than 10/15/20/25/30 Hz leave the ranges as they are.
void applyTailFilter(std::vector<uint16_t>& ranges, uint32_t filterLevel, uint32_t scanFrequencyHz);

} // namespace kes_sdk
