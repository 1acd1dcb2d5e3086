// The render tool as a user runs it: WAV into a pipe with its length up front, raw PCM, --info,
// standard input, the length limits and --version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuildVersion.h"
#include "music/SongRender.h"
#include "tests/xmrender/XmrenderSupport.h"

TEST(Xmrender, WavIntoAPipeCarriesItsLengthAndMatchesAFile) {
    if (!canRunTool()) GTEST_SKIP() << "no shell pipes here";
    std::vector<uint8_t> image = shortSongImage();
    std::string song = shellQuoted(writeScratch("pipe_song.xm", image));
    std::string file = scratchPath("pipe_song.wav");
    const uint64_t frames = 16 * 6 * 882;

    std::string piped = runShell("$XMRENDER " + song + " -o - | cat").out;
    ASSERT_EQ(piped.size(), 44 + frames * 4);
    EXPECT_EQ(piped.substr(0, 4), "RIFF");
    EXPECT_EQ(u32At(piped, 4), 36 + frames * 4);
    EXPECT_EQ(u32At(piped, 40), frames * 4);

    ASSERT_EQ(runShell("$XMRENDER " + song + " -o " + shellQuoted(file)).status, 0);
    EXPECT_TRUE(readWhole(file) == piped);

    std::vector<int16_t> pcm;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 44100 * 60, true, pcm));
    std::string raw = runShell("$XMRENDER " + song + " --raw -o - | cat").out;
    ASSERT_EQ(raw.size(), pcm.size() * 2);
    EXPECT_TRUE(raw == piped.substr(44));
    EXPECT_EQ(int16_t(uint8_t(raw[1000]) | uint8_t(raw[1001]) << 8), pcm[500]);

    // Two passes: the repeating part (order 0 row 4 to the break) once more, in the header too.
    std::string twice = runShell("$XMRENDER " + song + " --loop 2 -o - | cat").out;
    const uint64_t more = frames + 12 * 6 * 882;
    EXPECT_EQ(twice.size(), 44 + more * 4);
    EXPECT_EQ(u32At(twice, 40), more * 4);

    // The module can come from standard input, through a pipe too.
    ToolRun fromStdin = runShell("cat " + song + " | $XMRENDER - -o -");
    EXPECT_EQ(fromStdin.status, 0) << fromStdin.err;
    EXPECT_TRUE(fromStdin.out == piped);
}

TEST(Xmrender, InfoAndMessages) {
    if (!canRunTool()) GTEST_SKIP() << "no shell pipes here";
    std::vector<uint8_t> image = shortSongImage();
    std::string song = shellQuoted(writeScratch("info_song.xm", image));
    std::string info = runShell("$XMRENDER --info " + song).out;
    EXPECT_NE(info.find("title        pipe song\n"), std::string::npos) << info;
    EXPECT_NE(info.find("channels     2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("orders       2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("patterns     2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("instruments  1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("length       1.92 s\n"), std::string::npos) << info;

    image[58] = 0x01;
    image[59] = 0x01;
    ToolRun old = runShell("$XMRENDER --info " + shellQuoted(writeScratch("old_song.xm", image)));
    EXPECT_NE(old.err.find("XM version 0x0101 is not supported"), std::string::npos) << old.err;
    EXPECT_EQ(old.status, 1);

    ToolRun version = runShell("$XMRENDER --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "xmrender " + std::string(buildVersion) + " (" + buildCommit + ")\n");
}

TEST(Xmrender, ALengthLimitNeverCutsInSilence) {
    if (!canRunTool()) GTEST_SKIP() << "no shell pipes here";
    // 340 s a pass: --loop 2 takes 680 s, past the 600 s that used to cap every render.
    std::string song = shellQuoted(writeScratch("long_song.xm", longSilentSongImage(17)));
    const uint64_t pass = 256 * 17 * 3445;
    ToolRun twice = runShell("$XMRENDER " + song + " --loop 2 --raw -o - | wc -c");
    EXPECT_EQ(twice.status, 0);
    EXPECT_EQ(std::stoull(twice.out), 2 * pass * 4);
    EXPECT_EQ(twice.err, "");
    std::string info = runShell("$XMRENDER --info --loop 2 " + song).out;
    EXPECT_NE(info.find("length       679.94 s\n"), std::string::npos) << info;

    // A --length shorter than the song cuts it, and says so.
    ToolRun cut = runShell("$XMRENDER " + song + " --length 2.5 --raw -o - | wc -c");
    EXPECT_EQ(cut.status, 0);
    EXPECT_EQ(std::stoull(cut.out), uint64_t(2.5 * 44100) * 4);
    EXPECT_EQ(cut.err, "xmrender: stopped at the --length limit of 2.5 s; the song lasts longer\n");

    // So does the longest render: 1000 passes of 340 s are more than a day.
    ToolRun longest = runShell("$XMRENDER --info --loop 1000 " + song);
    EXPECT_NE(longest.out.find("length       86400.00 s (cut at the length limit)\n"), std::string::npos)
        << longest.out;

    // --loop 0 plays on to the length: 600 s unless --length says otherwise, which it mentions.
    ToolRun endless = runShell("$XMRENDER " + song + " --loop 0 --raw -o - | wc -c");
    EXPECT_EQ(std::stoull(endless.out), 600 * 44100 * 4);
    EXPECT_EQ(endless.err, "xmrender: --loop 0 stopped at 600 s; --length sets another length\n");
}
