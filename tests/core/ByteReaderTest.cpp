#include "core/ByteReader.h"

#include <gtest/gtest.h>

TEST(ByteReader, ReadsLittleEndianUnalignedValuesAndAdvances) {
    const uint8_t bytes[] = {0xAA, 0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF};
    ByteReader reader = ByteReader::over(bytes, sizeof bytes);
    EXPECT_EQ(reader.readValue<uint8_t>(), 0xAA);
    EXPECT_EQ(reader.readValue<uint32_t>(), 0x04030201u);  // starts at an odd address
    EXPECT_EQ(reader.readValue<int16_t>(), -2);
    EXPECT_EQ(reader.position, 7u);
    EXPECT_FALSE(reader.overrun);
}

TEST(ByteReader, ReadingPastTheEndZeroFillsAndFlags) {
    const uint8_t bytes[] = {1, 2, 3};
    ByteReader reader = ByteReader::over(bytes, sizeof bytes);
    uint8_t out[6];
    std::memset(out, 0x77, sizeof out);
    reader.read(out, 2, 3);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[2], 3);
    for (int i = 3; i < 6; ++i) EXPECT_EQ(out[i], 0);
    EXPECT_TRUE(reader.overrun);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(reader.readValue<uint32_t>(), 0u);  // and keeps reading zeros
}
