// Independent module players read the embedded song as ours does: same channel count, same
// number of orders, same running time (within 1 %). Where a player is not installed the test is
// skipped with a message (failed under CI, where scripts/setup installs both); where its report
// has a form this test cannot read (another version), skipped with the report. A player that says
// it cannot load the song fails the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "assets/Song.h"
#include "tests/Prerequisites.h"
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

// The players' ways of saying that a file is not a module they can load ("errors loading",
// "Unrecognized file format").
bool saysItCannotLoad(const std::string& report) {
    for (const char* phrase : {"error", "Error", "Unrecognized", "unrecognized"})
        if (report.find(phrase) != std::string::npos) return true;
    return false;
}

// What a player reports, read.
struct Report {
    long channels = -1;
    long orders = -1;
    double seconds = -1;
    bool read() const { return channels >= 0 && orders >= 0 && seconds >= 0; }
};

TEST(PeerPlayers, OpenMptReadsTheSameSong) {
    if (!havePlayer("openmpt123")) MISSING_PREREQUISITE("openmpt123 is not installed");
    std::string path = writeImage("openmpt");
    ASSERT_FALSE(path.empty());
    std::string info = runCommand("openmpt123 --info '" + path + "'");
    std::remove(path.c_str());
    ASSERT_FALSE(saysItCannotLoad(info)) << info;
    Report report;
    report.channels = wholeNumberOf(info, "Channels");
    report.orders = wholeNumberOf(info, "Orders");
    int minutes = 0;
    double secondsPart = 0;  // reported as m:ss.fff
    if (std::sscanf(valueOf(info, "Duration").c_str(), "%d:%lf", &minutes, &secondsPart) == 2)
        report.seconds = minutes * 60 + secondsPart;
    if (!report.read()) GTEST_SKIP() << "this openmpt123 reports in a form the test cannot read:\n" << info;
    EXPECT_EQ(report.channels, 20) << info;
    EXPECT_EQ(report.orders, 10) << info;
    double ours = ourDurationSeconds();
    std::printf("openmpt123: %.3f s, ours: %.3f s\n", report.seconds, ours);
    EXPECT_NEAR(report.seconds, ours, ours * 0.01);
}

TEST(PeerPlayers, XmpReadsTheSameSong) {
    if (!havePlayer("xmp")) MISSING_PREREQUISITE("xmp is not installed");
    std::string path = writeImage("xmp");
    ASSERT_FALSE(path.empty());
    std::string info = runCommand("xmp --load-only -v '" + path + "'");
    std::remove(path.c_str());
    ASSERT_FALSE(saysItCannotLoad(info)) << info;
    Report report;
    report.channels = wholeNumberOf(info, "Channels");
    report.orders = wholeNumberOf(info, "Module length");
    int minutes = 0, wholeSeconds = 0;  // reported as "1min36s"
    if (std::sscanf(valueOf(info, "Duration").c_str(), "%dmin%ds", &minutes, &wholeSeconds) == 2)
        report.seconds = minutes * 60 + wholeSeconds;
    if (!report.read()) GTEST_SKIP() << "this xmp reports in a form the test cannot read:\n" << info;
    EXPECT_EQ(report.channels, 20) << info;
    EXPECT_EQ(report.orders, 10) << info;
    double ours = ourDurationSeconds();
    std::printf("xmp: %.0f s, ours: %.3f s\n", report.seconds, ours);
    EXPECT_NEAR(report.seconds, ours, ours * 0.01);
}

}  // namespace
