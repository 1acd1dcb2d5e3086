// The render tool as a user runs it: WAV into a pipe with its length up front, raw PCM, --info.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "music/SongRender.h"
#include "tools/xm/XmWriter.h"

namespace {

#if defined(_WIN32)
bool canRun() { return false; }
std::string run(const std::string&) { return {}; }
#else
bool canRun() { return true; }

// Runs command through the shell; returns its standard output (binary safe).
std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}
#endif

// Two orders of 8 rows at 882 frames per tick; order 1 ends by breaking into order 0 row 4, so the
// song plays 8 + 8 rows and then repeats from there.
std::vector<uint8_t> songImage() {
    XmSong song;
    song.name = "pipe song";
    song.channels = 2;
    song.orders = {0, 1};
    song.patterns.push_back(XmPattern::empty(8, 2));
    song.patterns.push_back(XmPattern::empty(8, 2));
    song.patterns[1].at(7, 0, 2) = XmCell{0, 0, 0, 0x0B, 0};
    song.patterns[1].at(7, 1, 2) = XmCell{0, 0, 0, 0x0D, 0x04};
    XmSample sample;
    for (int i = 0; i < 300; ++i) sample.data.push_back(int16_t(i % 50 * 4 - 100));
    sample.loop = XmLoop::Forward;
    sample.loopLength = 300;
    XmInstrument instrument;
    instrument.samples.push_back(sample);
    song.instruments.push_back(instrument);
    song.patterns[0].at(0, 0, 2) = XmCell{49, 1, 0, 0, 0};
    return writeXm(song);
}

std::string writeTemp(const std::vector<uint8_t>& bytes, const char* name) {
    std::string path = ::testing::TempDir() + name + std::to_string(long(getpid()));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

uint32_t u32At(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

const std::string tool = XMRENDER_PATH;

}  // namespace

TEST(Xmrender, WavIntoAPipeCarriesItsLengthAndMatchesAFile) {
    if (!canRun()) GTEST_SKIP() << "no shell pipes here";
    std::vector<uint8_t> image = songImage();
    std::string song = writeTemp(image, "pipe_song.xm");
    std::string file = ::testing::TempDir() + "pipe_song.wav" + std::to_string(long(getpid()));
    const uint64_t frames = 16 * 6 * 882;

    std::string piped = run("'" + tool + "' '" + song + "' -o - | cat");
    ASSERT_EQ(piped.size(), 44 + frames * 4);
    EXPECT_EQ(piped.substr(0, 4), "RIFF");
    EXPECT_EQ(u32At(piped, 4), 36 + frames * 4);
    EXPECT_EQ(u32At(piped, 40), frames * 4);

    run("'" + tool + "' '" + song + "' -o '" + file + "'");
    std::ifstream in(file, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(written == piped);

    std::vector<int16_t> pcm;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 44100 * 60, true, pcm));
    std::string raw = run("'" + tool + "' '" + song + "' --raw -o - | cat");
    ASSERT_EQ(raw.size(), pcm.size() * 2);
    EXPECT_TRUE(raw == piped.substr(44));
    EXPECT_EQ(int16_t(uint8_t(raw[1000]) | uint8_t(raw[1001]) << 8), pcm[500]);

    // Two passes: the repeating part (order 0 row 4 to the break) once more, in the header too.
    std::string twice = run("'" + tool + "' '" + song + "' --loop 2 -o - | cat");
    const uint64_t more = frames + 12 * 6 * 882;
    EXPECT_EQ(twice.size(), 44 + more * 4);
    EXPECT_EQ(u32At(twice, 40), more * 4);
    std::remove(file.c_str());
    std::remove(song.c_str());
}

TEST(Xmrender, InfoAndMessages) {
    if (!canRun()) GTEST_SKIP() << "no shell pipes here";
    std::vector<uint8_t> image = songImage();
    std::string song = writeTemp(image, "info_song.xm");
    std::string info = run("'" + tool + "' --info '" + song + "'");
    EXPECT_NE(info.find("title        pipe song\n"), std::string::npos) << info;
    EXPECT_NE(info.find("channels     2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("orders       2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("patterns     2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("instruments  1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("length       1.92 s\n"), std::string::npos) << info;

    image[58] = 0x01;
    image[59] = 0x01;
    std::string old = writeTemp(image, "old_song.xm");
    std::string message = run("'" + tool + "' --info '" + old + "' 2>&1; echo \"status $?\"");
    EXPECT_NE(message.find("XM version 0x0101 is not supported"), std::string::npos) << message;
    EXPECT_NE(message.find("status 1"), std::string::npos) << message;
    std::remove(old.c_str());
    std::remove(song.c_str());
}
