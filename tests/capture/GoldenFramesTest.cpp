// Golden frames: ten frames over the show, drawn without a font engine (so the captions are blank
// and nothing depends on the installed fonts), checked by hash. Orders 0, 7 and 8 draw nothing but
// captions on white, so without fonts they are one plain white frame that pins nothing; the title
// object (three frames of its flight in order 1) and the lattice (two in order 2) take their
// places. Every frame in the table differs from the others. A change to any picture shows up here
// and must be taken on purpose. To take it, run
//
//   build/capture --hash --no-fonts --at 1:8,1:32,1:56,2:20,2:48,3:8,4:40,5:16,6:48,9:20
//
// and paste its lines (ORDER:ROW FRAME HASH) over the table below. The frame numbers change only
// with the song; the hashes with the pictures.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

const char* const goldenFrames =
    "1:8 540 dbb9a2bba593cd3f\n"
    "1:32 720 a376c11969dfc67f\n"
    "1:56 900 54b7016a65a44624\n"
    "2:20 1109 b3fe60cb73b41953\n"
    "2:48 1319 00a79db77512ca32\n"
    "3:8 1499 66e78434ef9abd3e\n"
    "4:40 2219 1695988494e6f340\n"
    "5:16 2519 6e3b7e3591f5ecca\n"
    "6:48 3239 aaaf18cb55d7817b\n"
    "9:20 4468 9ef3b477e4e3fac0\n";

// The positions asked for: the first field of every table line.
std::string positions() {
    std::string list, table = goldenFrames;
    for (size_t at = 0; at < table.size(); at = table.find('\n', at) + 1) {
        if (!list.empty()) list += ',';
        list.append(table, at, table.find(' ', at) - at);
    }
    return list;
}

TEST(GoldenFrames, EachPositionDrawsTheFrameItDrewBefore) {
    std::string command = std::string(CAPTURE_PATH) + " --hash --no-fonts --at " + positions() + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    EXPECT_EQ(out, goldenFrames) << "if the pictures changed on purpose, regenerate the table (see the top of "
                                    "this file) with:\n  "
                                 << command;
}

// A frame that appears twice in the table pins one picture twice (orders 0, 7 and 8 once gave
// three plain white frames).
TEST(GoldenFrames, NoTwoPositionsShareAFrame) {
    std::set<std::string> hashes;
    int lines = 0;
    std::string table = goldenFrames;
    for (size_t at = 0; at < table.size(); at = table.find('\n', at) + 1, ++lines) {
        size_t hash = table.rfind(' ', table.find('\n', at)) + 1;
        hashes.insert(table.substr(hash, table.find('\n', at) - hash));
    }
    EXPECT_EQ(lines, 10);
    EXPECT_EQ(hashes.size(), size_t(lines));
}

}  // namespace
