#include "live_record_run.h"
#include "player_fixture.h"

// A live simulator at 30 Hz over loopback: the file keeps pace with the stream and ends up
// holding every block LidarLogic emitted, in order.
TEST_F(PlayerFixture, RecordingAtThirtyHertzKeepsUpWithTheStream)
{
    const LiveRecordRun run = recordLive(*bar_, *logic_, 8);
    ASSERT_TRUE(run.connected);
    EXPECT_GE(run.emitted, 6u * 30 * 7) << "about 30 revolutions a second";
    EXPECT_LE(run.worst_lag, 6u * 30) << "the file never falls a second behind";
    EXPECT_TRUE(run.same_blocks);
}
