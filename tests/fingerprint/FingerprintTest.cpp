// The fingerprint compares builds by their hashes, so each hash must stand for
// a picture or a sound of its own: two equal lines (the title and the credits
// once hashed the same white frames) would let one of them change unseen
// wherever the other changed with it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

TEST(Fingerprint, PrintsEveryPartOnceAndNoTwoHashesAgree) {
    FILE* pipe = popen(FINGERPRINT_PATH " 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;

    std::vector<std::string> names;
    std::set<std::string> hashes;
    std::istringstream lines(out);
    std::string name, hash;
    while (lines >> name >> hash) {
        names.push_back(name);
        EXPECT_EQ(hash.size(), 16u) << name << " " << hash;
        EXPECT_TRUE(hashes.insert(hash).second) << name << " has the hash of another part: " << hash << "\n" << out;
    }
    const std::vector<std::string> expected = {"textures", "loading", "sine",      "song",   "title",
                                               "cube",     "ring",    "particles", "credits"};
    EXPECT_EQ(names, expected) << out;
}
