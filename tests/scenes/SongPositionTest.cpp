#include <gtest/gtest.h>

#include "music/ModulePlayer.h"
#include "tests/scenes/SceneSupport.h"

TEST(SongPosition, SeeksForwardRowByRowAndNeverBack) {
    SongPosition song;
    EXPECT_EQ(ModulePlayer::currentOrder(), 0);
    EXPECT_EQ(ModulePlayer::currentRow(), 0);
    ASSERT_TRUE(song.seek(0, 19));
    ASSERT_TRUE(song.seek(0, 20));
    ASSERT_TRUE(song.seek(6, 32));
    EXPECT_EQ(ModulePlayer::currentOrder(), 6);
    EXPECT_EQ(ModulePlayer::currentRow(), 32);
    EXPECT_FALSE(song.seek(6, 31));
}
