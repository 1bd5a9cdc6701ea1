// Arbitrary datagrams on the simulator's mDNS port: answered or dropped, never read past
// their end, never looped on.
#include "kes_sim/announcement.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kes_sim::Announcement announcement;
    announcement.ipv4 = 0xC0A80164;
    for (bool one_shot : {false, true})
        kes_sim::answerQuery(announcement, data, size, one_shot);
    return 0;
}
