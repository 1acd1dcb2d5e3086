// Independent module players read the embedded song as ours does: same channel count, same
// number of orders, same running time. Skipped (with a message) where they are not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// What follows label on its line in a player's report, past the dots, spaces and colon that the
// players put between a label and its value; empty when the label is missing.
std::string valueOf(const std::string& text, const char* label) {
    size_t at = text.find(label);
    if (at == std::string::npos) return {};
    at = text.find(':', at);
    if (at == std::string::npos) return {};
    size_t end = text.find('\n', at);
    return text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

long wholeNumberOf(const std::string& text, const char* label) {
    long value = -1;
    return std::sscanf(valueOf(text, label).c_str(), "%ld", &value) == 1 ? value : -1;
}

TEST(PeerPlayers, OpenMptReadsTheSameSong) {
    if (!havePlayer("openmpt123")) GTEST_SKIP() << "openmpt123 is not installed (scripts/setup --tests installs it)";
    std::string path = writeImage("openmpt");
    ASSERT_FALSE(path.empty());
    std::string info = runCommand("openmpt123 --info '" + path + "'");
    std::remove(path.c_str());
    EXPECT_EQ(wholeNumberOf(info, "Channels"), 20) << info;
    EXPECT_EQ(wholeNumberOf(info, "Orders"), 10) << info;
    int minutes = 0;
    double secondsPart = 0;  // reported as m:ss.fff
    ASSERT_EQ(std::sscanf(valueOf(info, "Duration").c_str(), "%d:%lf", &minutes, &secondsPart), 2) << info;
    double seconds = minutes * 60 + secondsPart;
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
    EXPECT_EQ(wholeNumberOf(info, "Channels"), 20) << info;
    EXPECT_EQ(wholeNumberOf(info, "Module length"), 10) << info;
    int minutes = 0, wholeSeconds = 0;  // reported as "1min36s"
    ASSERT_EQ(std::sscanf(valueOf(info, "Duration").c_str(), "%dmin%ds", &minutes, &wholeSeconds), 2) << info;
    double seconds = minutes * 60 + wholeSeconds;
    double ours = ourDurationSeconds();
    std::printf("xmp: %.0f s, ours: %.3f s\n", seconds, ours);
    EXPECT_NEAR(seconds, ours, ours * 0.01);
}

}  // namespace
