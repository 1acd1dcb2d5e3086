// The WAV header: RIFF while its 32-bit sizes hold the data, RF64 beyond, decided and written
// without needing the 4 GiB of data itself; and an RF64 file as ffmpeg and sox read it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/xmrender/XmrenderSupport.h"
#include "tools/common/WavWriter.h"

namespace {

std::string text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

TEST(WavWriter, RiffHoldsUpTo4GiBLessItsHeaderAndRf64TheRest) {
    const uint64_t largestRiff = 0xFFFFFFFFull - 36;  // the RIFF size field counts 36 header bytes too
    EXPECT_EQ(WavWriter::layoutFor(0), WavLayout::Riff);
    EXPECT_EQ(WavWriter::layoutFor(largestRiff), WavLayout::Riff);
    EXPECT_EQ(WavWriter::layoutFor(largestRiff + 1), WavLayout::Rf64);
    EXPECT_EQ(WavWriter::layoutFor(uint64_t(86400) * 44100 * 4), WavLayout::Rf64);  // the longest render

    // 4.41 GB of sound (the size that used to get a wrong RIFF header).
    const uint64_t frames = 1102500000;
    std::string rf64 = text(WavWriter::header(WavLayout::Rf64, 44100, frames));
    ASSERT_EQ(rf64.size(), 80u);
    EXPECT_EQ(rf64.substr(0, 4), "RF64");
    EXPECT_EQ(u32At(rf64, 4), 0xFFFFFFFFu);
    EXPECT_EQ(rf64.substr(8, 8), "WAVEds64");
    EXPECT_EQ(u32At(rf64, 16), 28u);
    EXPECT_EQ(u64At(rf64, 20), frames * 4 + 72);  // the file's size less 8
    EXPECT_EQ(u64At(rf64, 28), frames * 4);
    EXPECT_EQ(u64At(rf64, 36), frames);
    EXPECT_EQ(u32At(rf64, 44), 0u);  // no table of other chunk sizes
    std::string riff = text(WavWriter::header(WavLayout::Riff, 44100, 1000));
    ASSERT_EQ(riff.size(), 44u);
    EXPECT_EQ(rf64.substr(48, 24), riff.substr(12, 24));  // the same fmt chunk
    EXPECT_EQ(rf64.substr(72, 4), "data");
    EXPECT_EQ(u32At(rf64, 76), 0xFFFFFFFFu);
}

TEST(WavWriter, StartPicksTheLayoutFromTheLengthItIsGiven) {
    std::string path = scratchPath("layout.wav");
    WavWriter writer{};
    ASSERT_TRUE(WavWriter::open(writer, path.c_str(), 44100, false));
    ASSERT_TRUE(WavWriter::start(writer, uint64_t(6) * 3600 * 44100 + 44100 * 2800));  // 6 h 47 min
    const int16_t samples[4] = {1, -1, 2, -2};
    ASSERT_TRUE(WavWriter::write(writer, samples, 2));
    ASSERT_TRUE(WavWriter::finish(writer));
    // Finished early: the layout stays RF64, its sizes say what was written.
    std::string written = readWhole(path);
    ASSERT_EQ(written.size(), 88u);
    EXPECT_EQ(written.substr(0, 4), "RF64");
    EXPECT_EQ(u64At(written, 28), 8u);
    EXPECT_EQ(u64At(written, 36), 2u);
    std::remove(path.c_str());
}

TEST(WavWriter, Rf64IsReadByFfmpegAndSox) {
    if (!canRunTool()) GTEST_SKIP() << "no shell here";
    std::vector<uint8_t> file = WavWriter::header(WavLayout::Rf64, 44100, 4410);
    std::string pcm;
    for (int i = 0; i < 4410 * 2; ++i) {
        int16_t value = int16_t((i * 7919) % 60000 - 30000);
        pcm += char(value & 0xFF);
        pcm += char((value >> 8) & 0xFF);
    }
    file.insert(file.end(), pcm.begin(), pcm.end());
    std::string wav = shellQuoted(writeScratch("readers.wav", file));
    int readers = 0;
    if (runShell("command -v ffmpeg").status == 0) {
        ToolRun ffmpeg = runShell("ffmpeg -nostdin -v error -i " + wav + " -f s16le -");
        EXPECT_EQ(ffmpeg.status, 0) << ffmpeg.err;
        EXPECT_TRUE(ffmpeg.out == pcm) << "ffmpeg read " << ffmpeg.out.size() << " bytes";
        ++readers;
    }
    if (runShell("command -v sox").status == 0) {
        ToolRun sox = runShell("sox " + wav + " -t raw -");
        EXPECT_EQ(sox.status, 0) << sox.err;
        EXPECT_TRUE(sox.out == pcm) << "sox read " << sox.out.size() << " bytes";
        ++readers;
    }
    if (readers == 0) GTEST_SKIP() << "neither ffmpeg nor sox is installed";
}
