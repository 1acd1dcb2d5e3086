// The render tool's errors: one line naming the cause in the system's words, exit status 1, the
// input never overwritten, and number options that say what they take.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/xmrender/XmrenderSupport.h"

namespace {

bool failsWith(const ToolRun& run, const std::string& message) {
    return run.status == 1 && run.err == "xmrender: " + message + "\n";
}

}  // namespace

TEST(XmrenderErrors, NameTheirCause) {
    if (!canRunTool()) GTEST_SKIP() << "no shell here";
    std::string song = shellQuoted(writeScratch("song.xm", shortSongImage()));
    std::string folder = scratchPath("");
    EXPECT_TRUE(failsWith(runShell("$XMRENDER " + shellQuoted(folder) + " -o /dev/null"),
                          "cannot read " + folder + ": Is a directory"));
    EXPECT_TRUE(failsWith(runShell("$XMRENDER " + shellQuoted(folder + "none.xm") + " -o /dev/null"),
                          "cannot open " + folder + "none.xm: No such file or directory"));
    EXPECT_TRUE(
        failsWith(runShell("$XMRENDER " + song + " -o /dev/full"), "cannot write /dev/full: No space left on device"));
    EXPECT_TRUE(failsWith(runShell("$XMRENDER " + song + " -o - >/dev/full"),
                          "cannot write standard output: No space left on device"));

    // A file-size limit (ulimit -f counts 1024-byte blocks): a write error, not a killed process,
    // and the part already written is removed.
    std::string limited = scratchPath("limited.wav");
    ToolRun overLimit = runShell("ulimit -f 64; $XMRENDER " + song + " -o " + shellQuoted(limited));
    EXPECT_TRUE(failsWith(overLimit,
                          "cannot write " + limited + ": File too large; the incomplete " + limited + " was removed"))
        << overLimit.status << " " << overLimit.err;
    EXPECT_EQ(readWhole(limited), "");
}

TEST(XmrenderErrors, TheInputIsNeverOverwritten) {
    if (!canRunTool()) GTEST_SKIP() << "no shell here";
    std::vector<uint8_t> image = shortSongImage();
    std::string original(image.begin(), image.end());
    std::string song = writeScratch("kept.xm", image);
    std::string hard = scratchPath("hard.xm"), soft = scratchPath("soft.xm");
    std::filesystem::create_hard_link(song, hard);
    std::filesystem::create_symlink(song, soft);
    std::string otherPath = scratchPath("") + "./kept.xm";
    for (const std::string& output : {song, hard, soft, otherPath}) {
        ToolRun run = runShell("$XMRENDER " + shellQuoted(song) + " -o " + shellQuoted(output));
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_NE(run.err.find(output + " is the module being read"), std::string::npos) << run.err;
    }
    ToolRun fromStdin = runShell("$XMRENDER - -o " + shellQuoted(song) + " <" + shellQuoted(soft));
    EXPECT_TRUE(failsWith(fromStdin, song + " is the module being read (standard input); write the sound to another "
                                            "file"))
        << fromStdin.err;
    ToolRun appended = runShell("$XMRENDER " + shellQuoted(song) + " -o - >>" + shellQuoted(hard));
    EXPECT_EQ(appended.status, 1) << appended.err;
    EXPECT_TRUE(readWhole(song) == original);
}

TEST(XmrenderErrors, NumberOptionsSayWhatTheyTake) {
    if (!canRunTool()) GTEST_SKIP() << "no shell here";
    std::string song = shellQuoted(writeScratch("numbers.xm", shortSongImage()));
    for (const char* length : {"10x", "1e3", "inf", "-3", "' 5'", "''", "1.2.3"})
        EXPECT_EQ(
            runShell("$XMRENDER " + song + " --length " + length).err.rfind("xmrender: --length takes seconds", 0), 0u)
            << length;
    EXPECT_TRUE(
        failsWith(runShell("$XMRENDER " + song + " --length 86400.5"), "--length must be at most 86400 seconds"));
    EXPECT_TRUE(failsWith(runShell("$XMRENDER " + song + " --length 0.0"), "--length must be above 0 seconds"));
    for (const char* passes : {"2x", "-1", "+2", "' 3'", "1.5", "99999999999"})
        EXPECT_EQ(
            runShell("$XMRENDER " + song + " --loop " + passes).err.rfind("xmrender: --loop takes a whole number", 0),
            0u)
            << passes;
    EXPECT_TRUE(failsWith(runShell("$XMRENDER " + song + " --loop 1001"), "--loop must be at most 1000"));
    // Still accepted: the plain forms.
    EXPECT_EQ(runShell("$XMRENDER " + song + " --length 0.5 --loop 3 --raw -o /dev/null").status, 0);
}
