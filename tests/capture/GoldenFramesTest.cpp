// Golden frames: one frame in each order of the show, drawn without a font engine (so the
// captions are blank and nothing depends on the installed fonts), checked by hash. A change to
// any picture shows up here and must be taken on purpose. To take it, run
//
//   build/capture --hash --no-fonts --at 0:10,1:32,2:20,3:8,4:40,5:16,6:48,7:4,8:36,9:20
//
// and paste its lines (ORDER:ROW FRAME HASH) over the table below. The frame numbers change only
// with the song; the hashes with the pictures.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

const char* const goldenFrames =
    "0:10 75 9db8578ea53e9800\n"
    "1:32 720 a376c11969dfc67f\n"
    "2:20 1109 b3fe60cb73b41953\n"
    "3:8 1499 66e78434ef9abd3e\n"
    "4:40 2219 1695988494e6f340\n"
    "5:16 2519 6e3b7e3591f5ecca\n"
    "6:48 3239 aaaf18cb55d7817b\n"
    "7:4 3388 9db8578ea53e9800\n"
    "8:36 4108 9db8578ea53e9800\n"
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

TEST(GoldenFrames, EveryOrderDrawsTheFrameItDrewBefore) {
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

}  // namespace
