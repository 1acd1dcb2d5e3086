#include "tests/xmrender/XmrenderSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

std::string scratchDir() {
#if defined(_WIN32)
    return ::testing::TempDir() + "xmrender-test";
#else
    return ::testing::TempDir() + "xmrender-test-" + std::to_string(long(::getpid()));
#endif
}

struct ScratchCleanup : ::testing::Environment {
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDir(), ignored);
    }
};
[[maybe_unused]] const ::testing::Environment* const scratchCleanup =
    ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

}  // namespace

std::string scratchPath(const std::string& name) {
    std::error_code ignored;
    std::filesystem::create_directories(scratchDir(), ignored);
    return scratchDir() + "/" + name;
}

std::string writeScratch(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = scratchPath(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string shellQuoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

#if defined(_WIN32)
bool canRunTool() { return false; }
ToolRun runShell(const std::string&) { return ToolRun{-1, {}, {}}; }
#else
bool canRunTool() { return true; }

ToolRun runShell(const std::string& command) {
    std::string out = scratchPath("stdout"), err = scratchPath("stderr");
    std::string line = "XMRENDER=" + shellQuoted(XMRENDER_PATH) + "; " + command;
    int raw = std::system(("{ " + line + "; } >" + shellQuoted(out) + " 2>" + shellQuoted(err)).c_str());
    return ToolRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readWhole(out), readWhole(err)};
}
#endif

std::vector<uint8_t> shortSongImage() {
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

std::vector<uint8_t> longSilentSongImage(uint16_t speed) {
    XmSong song;
    song.name = "long song";
    song.channels = 1;
    song.speed = speed;
    song.tempo = 32;
    song.orders = {0};
    song.patterns.push_back(XmPattern::empty(256, 1));
    return writeXm(song);
}

uint32_t u32At(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

uint64_t u64At(const std::string& bytes, size_t at) { return u32At(bytes, at) | uint64_t(u32At(bytes, at + 4)) << 32; }
