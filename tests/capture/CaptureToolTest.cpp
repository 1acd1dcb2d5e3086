// The capture program end to end: reruns, single frames, the two video formats decoded again by
// ffmpeg, and the tool's errors. Parts of the show keep each run short (--to, --at).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BuildVersion.h"
#include "assets/Song.h"
#include "tests/Prerequisites.h"
#include "tools/programs/capture/ShowPlan.h"

namespace {

struct ToolRun {
    int status;
    std::string out;  // standard output
    std::string err;  // standard error
};

std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Each test process keeps its files (videos of tens of megabytes among them) in a folder of its own,
// removed once its tests have run.
std::string scratchDir() { return ::testing::TempDir() + "capture-test-" + std::to_string(::getpid()); }

std::string scratch(const std::string& name) {
    ::mkdir(scratchDir().c_str(), 0755);
    return scratchDir() + "/" + name;
}

struct ScratchCleanup : ::testing::Environment {
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDir(), ignored);
    }
};
[[maybe_unused]] const ::testing::Environment* const scratchCleanup =
    ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

// Runs a shell command line, standard output and error kept apart.
ToolRun shell(const std::string& command) {
    std::string out = scratch("stdout"), err = scratch("stderr");
    int raw = std::system((command + " >" + out + " 2>" + err).c_str());
    return ToolRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(out), readAll(err)};
}

ToolRun capture(const std::string& args) { return shell(std::string(CAPTURE_PATH) + " " + args); }

size_t lineCount(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

bool haveFfmpeg() { return shell("command -v ffmpeg").status == 0; }

// Decodes frame `index` of a video (or a picture) to raw RGB, 3 bytes a pixel; from BT.709
// limited-range YUV when the video holds that.
std::string decodeRgb(const std::string& path, uint64_t index, bool fromBt709 = false) {
    std::string raw = scratch("decoded.rgb");
    std::string toRgb = fromBt709 ? ",scale=in_color_matrix=bt709:in_range=tv:flags=accurate_rnd+full_chroma_int" : "";
    std::string command = "ffmpeg -nostdin -loglevel error -y -i " + path + " -vf 'select=eq(n\\," +
                          std::to_string(index) + ")" + toRgb + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + raw;
    EXPECT_EQ(shell(command).status, 0) << command;
    return readAll(raw);
}

// The frame number in a --hash line "ORDER:ROW FRAME HASH".
uint64_t frameOfLine(const std::string& line) { return std::stoull(line.substr(line.find(' ') + 1)); }

TEST(CaptureTool, RerunsGiveTheSameFramesAndSound) {
    ToolRun first = capture("--hash --to 1");
    ToolRun second = capture("--hash --to 1");
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
    // The two orders: their frames and the sound they last, nothing of the show after them.
    ShowPlan plan;
    std::string error;
    ASSERT_TRUE(planShow(songImage, songImageSize, FrameRate{50, 1}, 1000000, &plan, &error));
    uint64_t frames = plan.framesInOrders(0, 1);
    EXPECT_EQ(first.out.substr(0, first.out.find('\n')).substr(0, 7 + std::to_string(frames).size()),
              "frames " + std::to_string(frames));
    EXPECT_NE(first.out.find("sound " + std::to_string(plan.soundFramesInOrders(0, 1, FrameRate{50, 1})) + " "),
              std::string::npos);
    EXPECT_EQ(lineCount(first.err), 1u);  // the summary; no progress line without a terminal
}

TEST(CaptureTool, AtTakesTheFirstFrameOfEachPosition) {
    ToolRun run = capture("--hash --no-fonts --fps 60 --at 1:17,0:3,0:40");
    ASSERT_EQ(run.status, 0) << run.err;
    ShowPlan plan;
    std::string error;
    ASSERT_TRUE(planShow(songImage, songImageSize, FrameRate{60, 1}, 1000000, &plan, &error));
    std::istringstream lines(run.out);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), 3u);
    // In the order the show reaches them.
    EXPECT_EQ(got[0].substr(0, 4), "0:3 ");
    EXPECT_EQ(frameOfLine(got[0]), plan.firstFrameAt({0, 3}));
    EXPECT_EQ(frameOfLine(got[1]), plan.firstFrameAt({0, 40}));
    EXPECT_EQ(frameOfLine(got[2]), plan.firstFrameAt({1, 17}));
    EXPECT_EQ(plan.framePositions[frameOfLine(got[2]) - 1].row, 16);  // the frame before is still row 16

    ToolRun never = capture("--hash --at 0:3,12:0");
    EXPECT_EQ(never.status, 1);
    EXPECT_NE(never.err.find("12:0 is never played"), std::string::npos) << never.err;
}

TEST(CaptureTool, MkvFramesAreTheFramebufferAndMp4FramesCloseToIt) {
    if (!haveFfmpeg()) MISSING_PREREQUISITE("ffmpeg is not installed");
    // A frame of the cube scene, with lines and captions: the hardest kind for 4:2:0 video.
    std::string pngs = scratch("frames");
    ToolRun still = capture("--at 2:20 --hash --png " + pngs);
    ASSERT_EQ(still.status, 0) << still.err;
    ShowPlan plan;
    std::string error;
    ASSERT_TRUE(planShow(songImage, songImageSize, FrameRate{50, 1}, 1000000, &plan, &error));
    uint64_t index = frameOfLine(still.out) - plan.firstFrameAt({2, 0});  // its place in a video of order 2
    std::string reference = decodeRgb(pngs + "/order-02-row-20.png", 0);
    ASSERT_EQ(reference.size(), 640u * 480u * 3u);

    std::string mkv = scratch("part.mkv"), mp4 = scratch("part.mp4");
    ToolRun lossless = capture("--from 2 --to 2 -o " + mkv);
    ASSERT_EQ(lossless.status, 0) << lossless.err;
    EXPECT_NE(lossless.err.find("wrote " + mkv), std::string::npos);
    EXPECT_TRUE(decodeRgb(mkv, index) == reference);

    ToolRun lossy = capture("--from 2 --to 2 -o " + mp4);
    ASSERT_EQ(lossy.status, 0) << lossy.err;
    std::string decoded = decodeRgb(mp4, index, true);
    ASSERT_EQ(decoded.size(), reference.size());
    // 4:2:0 chroma and H.264 at CRF 16: the mean error stays under 2.5 of 255 per channel (1.7 today), and
    // nine in ten values lie within 8 of the framebuffer's (one-pixel lines lose their colour).
    uint64_t totalError = 0, within = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
        int difference = std::abs(int(uint8_t(decoded[i])) - int(uint8_t(reference[i])));
        totalError += uint64_t(difference);
        within += difference <= 8;
    }
    EXPECT_LT(double(totalError) / double(decoded.size()), 2.5);
    EXPECT_GT(double(within) / double(decoded.size()), 0.9);
    std::string probe = shell("ffprobe -v error -show_streams " + mp4).out;
    for (const char* tag : {"color_space=bt709", "color_primaries=bt709", "color_transfer=bt709", "color_range=tv"})
        EXPECT_NE(probe.find(tag), std::string::npos) << tag;
}

TEST(CaptureTool, ErrorsAreOneLineWithAnExitStatus) {
    ToolRun bad = capture("--fps 0 --hash");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(lineCount(bad.err), 1u);
    EXPECT_EQ(bad.err.rfind("capture: ", 0), 0u) << bad.err;

    ToolRun unwritable = capture("-o /nonexistent-folder/show.mp4");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(lineCount(unwritable.err), 1u);
    EXPECT_NE(unwritable.err.find("cannot write /nonexistent-folder/show.mp4"), std::string::npos);

    // No ffmpeg on the path: one line saying to install it; the other outputs still work.
    std::string tool = CAPTURE_PATH;
    ToolRun noEncoder = shell("PATH=/nonexistent " + tool + " -o " + scratch("none.mp4"));
    EXPECT_EQ(noEncoder.status, 1);
    EXPECT_EQ(lineCount(noEncoder.err), 1u);
    EXPECT_NE(noEncoder.err.find("install"), std::string::npos) << noEncoder.err;
    ToolRun hashOnly = shell("PATH=/nonexistent " + tool + " --hash --at 0:1");
    EXPECT_EQ(hashOnly.status, 0) << hashOnly.err;
}

// --version and --help answer at once, whatever follows them, and write nothing else.
TEST(CaptureTool, VersionAndHelpAnswerAlone) {
    ToolRun version = capture("--version -o /nonexistent-folder/show.mp4");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "capture " + std::string(buildVersion) + " (" + buildCommit + ")\n");
    EXPECT_EQ(version.err, "");
    ToolRun help = capture("--help --fps 0");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: capture", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos);
}

TEST(CaptureTool, APngFolderThatIsALinkToNothingIsNamedAsSuch) {
    std::string link = scratch("dangling");
    std::string target = scratch("missing-target");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ToolRun run = capture("--hash --at 0:1 --png " + link);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lineCount(run.err), 1u);
    EXPECT_NE(run.err.find("symbolic link to " + target + ", which does not exist"), std::string::npos) << run.err;
    EXPECT_EQ(::access(target.c_str(), F_OK), -1);  // nothing made at the far end either
}

TEST(CaptureTool, AFailedRunLeavesNoFileItMade) {
    // A later check fails: the video file made while checking the first goes again.
    std::string notAFolder = scratch("plain-file");
    std::ofstream(notAFolder) << "x";
    std::string video = scratch("checked.mp4");
    ToolRun badFolder = capture("-o " + video + " --png " + notAFolder);
    EXPECT_EQ(badFolder.status, 1);
    EXPECT_NE(badFolder.err.find("not a folder"), std::string::npos) << badFolder.err;
    EXPECT_NE(::access(video.c_str(), F_OK), 0);

    // An encoder that cannot start: the WAV file begun before it goes too, the PNG folder made
    // for the run as well; a file that was there before and never touched stays.
    std::string bin = scratch("broken-bin");
    ::mkdir(bin.c_str(), 0755);
    std::ofstream(bin + "/ffmpeg") << "#!/nonexistent/interpreter\n";
    ::chmod((bin + "/ffmpeg").c_str(), 0755);
    std::string wav = scratch("begun.wav"), pngs = scratch("new-frames"), kept = scratch("kept.mp4");
    std::ofstream(kept) << "earlier video";
    ToolRun noStart = shell("PATH=" + bin + ":/usr/bin:/bin " + std::string(CAPTURE_PATH) + " -o " + kept + " --wav " +
                            wav + " --png " + pngs);
    EXPECT_EQ(noStart.status, 1);
    EXPECT_EQ(lineCount(noStart.err), 1u);
    EXPECT_NE(noStart.err.find("cannot start"), std::string::npos) << noStart.err;
    EXPECT_NE(::access(wav.c_str(), F_OK), 0);
    EXPECT_NE(::access(pngs.c_str(), F_OK), 0);
    EXPECT_EQ(readAll(kept), "earlier video");

    // Only plain files are removed: a link to a device (or the device) stays.
    std::string toNull = scratch("null.wav");
    ASSERT_EQ(::symlink("/dev/null", toNull.c_str()), 0);
    ToolRun intoDevice =
        shell("PATH=" + bin + ":/usr/bin:/bin " + std::string(CAPTURE_PATH) + " -o " + kept + " --wav " + toNull);
    EXPECT_EQ(intoDevice.status, 1);
    struct stat link;
    EXPECT_EQ(::lstat(toNull.c_str(), &link), 0) << "the link was removed";

    // A position never played fails after frames were written: they go, with their folder.
    ToolRun never = capture("--at 0:1,12:0 --png " + pngs);
    EXPECT_EQ(never.status, 1);
    EXPECT_NE(never.err.find("never played"), std::string::npos) << never.err;
    EXPECT_NE(::access(pngs.c_str(), F_OK), 0);
}

TEST(CaptureTool, AnEncoderThatDiesIsAFailureAndLeavesNoFile) {
    // A stand-in ffmpeg that reads a little of the frames and is then killed.
    std::string bin = scratch("bin");
    ::mkdir(bin.c_str(), 0755);
    std::ofstream(bin + "/ffmpeg") << "#!/bin/sh\nhead -c 3000000 <&3 >/dev/null\nkill -9 $$\n";
    ::chmod((bin + "/ffmpeg").c_str(), 0755);
    std::string video = scratch("killed.mp4");
    ToolRun run = shell("PATH=" + bin + ":/usr/bin:/bin " + std::string(CAPTURE_PATH) + " -o " + video);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lineCount(run.err), 1u);
    EXPECT_NE(run.err.find("killed by signal 9"), std::string::npos) << run.err;
    EXPECT_NE(::access(video.c_str(), F_OK), 0);
}

}  // namespace
