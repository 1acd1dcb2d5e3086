// Independent module players read the embedded song as ours does: same channel count, same
// number of orders, same running time. Skipped (with a message) where they are not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "assets/Song.h"
#include "tests/song/SongSupport.h"

namespace {

#if defined(_WIN32)
long processId() { return 0; }
bool havePlayer(const char*) { return false; }
std::string runCommand(const std::string&) { return {}; }
#else
long processId() { return long(getpid()); }

bool havePlayer(const char* name) {
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Runs a shell command and returns what it printed on stdout and stderr.
std::string runCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
    return output;
}
#endif

// Writes the embedded image to a temporary .xm file of its own (tests run in parallel
// processes) and returns its path.
std::string writeImage(const char* player) {
    std::string path = ::testing::TempDir() + "embedded_song_" + player + "_" + std::to_string(processId()) + ".xm";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(songImage), songImageSize);
    return out ? path : std::string();
}

double ourDurationSeconds() {
    const RenderedSong& song = embeddedSongRender();
    return song.ok ? double(song.pcm.size() / 2) / 44100.0 : 0.0;
}

// The first capture of pattern in text as an integer, or -1.
long capture(const std::string& text, const char* pattern, int group = 1) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) return -1;
    return std::strtol(match[group].str().c_str(), nullptr, 10);
}

TEST(PeerPlayers, OpenMptReadsTheSameSong) {
    if (!havePlayer("openmpt123")) GTEST_SKIP() << "openmpt123 is not installed (scripts/setup --tests installs it)";
    std::string path = writeImage("openmpt");
    ASSERT_FALSE(path.empty());
    std::string info = runCommand("openmpt123 --info '" + path + "'");
    std::remove(path.c_str());
    EXPECT_EQ(capture(info, R"(Channels\.*:\s*(\d+))"), 20) << info;
    EXPECT_EQ(capture(info, R"(Orders\.*:\s*(\d+))"), 10) << info;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(info, match, std::regex(R"(Duration\.*:\s*(\d+):(\d+)\.(\d+))"))) << info;
    double seconds = std::stod(match[1]) * 60 + std::stod(match[2]) + std::stod("0." + match[3].str());
    double ours = ourDurationSeconds();
    std::printf("openmpt123: %.3f s, ours: %.3f s\n", seconds, ours);
    EXPECT_NEAR(seconds, ours, ours * 0.01);
}

TEST(PeerPlayers, XmpReadsTheSameSong) {
    if (!havePlayer("xmp")) GTEST_SKIP() << "xmp is not installed (scripts/setup --tests installs it)";
    std::string path = writeImage("xmp");
    ASSERT_FALSE(path.empty());
    std::string info = runCommand("xmp --load-only -v '" + path + "'");
    std::remove(path.c_str());
    EXPECT_EQ(capture(info, R"(Channels\s*:\s*(\d+))"), 20) << info;
    EXPECT_EQ(capture(info, R"(Module length\s*:\s*(\d+))"), 10) << info;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(info, match, std::regex(R"(Duration\s*:\s*(\d+)min(\d+)s)"))) << info;
    double seconds = std::stod(match[1]) * 60 + std::stod(match[2]);  // whole seconds
    double ours = ourDurationSeconds();
    std::printf("xmp: %.0f s, ours: %.3f s\n", seconds, ours);
    EXPECT_NEAR(seconds, ours, ours * 0.01);
}

}  // namespace
