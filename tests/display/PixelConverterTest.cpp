#include "display/PixelConverter.h"
#include "display/PixelConverterSets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct ConverterCase {
    const char* name;
    PixelConverter convert;
    int32_t bytes;
    int32_t bitCount;
    uint32_t red, green, blue;
};

const ConverterCase converters[] = {
    {"XRGB32", convertXRGB32, 4, 32, 0xFF0000, 0xFF00, 0xFF}, {"XBGR32", convertXBGR32, 4, 32, 0xFF, 0xFF00, 0xFF0000},
    {"RGB24", convertRGB24, 3, 24, 0xFF0000, 0xFF00, 0xFF},   {"BGR24", convertBGR24, 3, 24, 0xFF, 0xFF00, 0xFF0000},
    {"RGB565", convertRGB565, 2, 16, 0xF800, 0x7E0, 0x1F},    {"BGR565", convertBGR565, 2, 16, 0x1F, 0x7E0, 0xF800},
    {"RGB555", convertRGB555, 2, 16, 0x7C00, 0x3E0, 0x1F},    {"BGR555", convertBGR555, 2, 16, 0x1F, 0x3E0, 0x7C00},
};

// The little-endian value a converter wrote for one pixel.
uint32_t convertOne(PixelConverter convert, int32_t bytes, uint32_t pixel) {
    uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    convert(&pixel, out, 1);
    uint32_t value = 0;
    for (int32_t i = 0; i < bytes; ++i) value |= uint32_t(out[i]) << (8 * i);
    return value;
}

std::vector<uint32_t> testRow() {
    std::vector<uint32_t> row = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF123456, 0x80818283, 0x07070707};
    uint32_t state = 12345;
    for (int i = 0; i < 57; ++i) row.push_back(state = state * 1664525u + 1013904223u);
    return row;
}

TEST(PixelConverter, PrimaryColoursWhiteAndBlack) {
    EXPECT_EQ(convertOne(convertRGB565, 2, 0xFFFFFF), 0xFFFFu);
    EXPECT_EQ(convertOne(convertBGR565, 2, 0xFFFFFF), 0xFFFFu);
    EXPECT_EQ(convertOne(convertRGB555, 2, 0xFFFFFF), 0x7FFFu);
    EXPECT_EQ(convertOne(convertBGR555, 2, 0xFFFFFF), 0x7FFFu);
    EXPECT_EQ(convertOne(convertRGB565, 2, 0xFF0000), 0xF800u);
    EXPECT_EQ(convertOne(convertBGR565, 2, 0xFF0000), 0x001Fu);
    EXPECT_EQ(convertOne(convertRGB555, 2, 0xFF0000), 0x7C00u);
    EXPECT_EQ(convertOne(convertBGR555, 2, 0xFF0000), 0x001Fu);
    EXPECT_EQ(convertOne(convertBGR555, 2, 0x0000FF), 0x7C00u);
    EXPECT_EQ(convertOne(convertXBGR32, 4, 0x0000FF), 0x00FF0000u);
    EXPECT_EQ(convertOne(convertXRGB32, 4, 0xAB123456), 0xAB123456u);
    EXPECT_EQ(convertOne(convertXBGR32, 4, 0xAB123456), 0x00563412u);
    EXPECT_EQ(convertOne(convertRGB24, 3, 0xAB123456), 0x123456u);
    EXPECT_EQ(convertOne(convertBGR24, 3, 0xAB123456), 0x563412u);
    for (const ConverterCase& c : converters) EXPECT_EQ(convertOne(c.convert, c.bytes, 0), 0u) << c.name;
}

TEST(PixelConverter, RowIsPixelByPixelAndWritesExactlyCountPixels) {
    std::vector<uint32_t> row = testRow();
    int32_t count = int32_t(row.size());
    for (const ConverterCase& c : converters) {
        std::vector<uint8_t> out(size_t(count * c.bytes + 8), 0xEE);
        c.convert(row.data(), out.data(), count);
        for (int32_t i = 0; i < count; ++i) {
            uint32_t value = 0;
            for (int32_t b = 0; b < c.bytes; ++b) value |= uint32_t(out[size_t(i * c.bytes + b)]) << (8 * b);
            ASSERT_EQ(value, convertOne(c.convert, c.bytes, row[size_t(i)])) << c.name << " at " << i;
        }
        for (size_t i = size_t(count * c.bytes); i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << c.name;

        std::vector<uint8_t> untouched(8, 0xEE);
        c.convert(row.data(), untouched.data(), 0);
        EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0xEE)) << c.name << " wrote with a count of 0";
    }
}

TEST(PixelConverter, ChooserMatchesAllFourValuesExactly) {
    for (const ConverterCase& c : converters)
        EXPECT_EQ(choosePixelConverter(c.bitCount, c.red, c.green, c.blue), c.convert) << c.name;
    EXPECT_EQ(choosePixelConverter(8, 0, 0, 0), nullptr);
    EXPECT_EQ(choosePixelConverter(8, 0xE0, 0x1C, 0x3), nullptr);
    EXPECT_EQ(choosePixelConverter(15, 0x7C00, 0x3E0, 0x1F), nullptr);
    EXPECT_EQ(choosePixelConverter(32, 0xF800, 0x7E0, 0x1F), nullptr);
    EXPECT_EQ(choosePixelConverter(16, 0xFF0000, 0xFF00, 0xFF), nullptr);
    EXPECT_EQ(choosePixelConverter(24, 0xFF0000, 0xFF, 0xFF00), nullptr);
    EXPECT_EQ(choosePixelConverter(32, 0xFF000000, 0xFF0000, 0xFF00), nullptr);
    EXPECT_EQ(choosePixelConverter(16, 0x7C00, 0x7E0, 0x1F), nullptr);
}

// The eight converters of a set, in the order of the table above.
std::vector<PixelConverter> membersOf(const PixelConverterSet& set) {
    return {set.xrgb32, set.xbgr32, set.rgb24, set.bgr24, set.rgb565, set.bgr565, set.rgb555, set.bgr555};
}

std::vector<const PixelConverterSet*> runnableSets() {
    const PixelConverterSet* sets[8];
    int32_t count = runnablePixelConverterSets(sets, 8);
    return std::vector<const PixelConverterSet*>(sets, sets + count);
}

TEST(PixelConverterSets, PlainFirstAndTheNamedConvertersBehaveLikeTheFastest) {
    std::vector<const PixelConverterSet*> sets = runnableSets();
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.front(), &plainPixelConverters());
#if defined(__SSE2__)
    EXPECT_GE(sets.size(), 2u) << "SSE2 is the floor wherever it is compiled in";
#endif
    std::vector<uint32_t> row = testRow();
    std::vector<PixelConverter> fastest = membersOf(*sets.back());
    for (size_t k = 0; k < std::size(converters); ++k) {
        const ConverterCase& c = converters[k];
        std::vector<uint8_t> named(row.size() * 4), chosen(row.size() * 4);
        c.convert(row.data(), named.data(), int32_t(row.size()));
        fastest[k](row.data(), chosen.data(), int32_t(row.size()));
        EXPECT_EQ(named, chosen) << c.name;
    }
}

// Every 24-bit colour, each with a different top byte, in rows of the show's width: each set must
// write the plain set's bytes.
TEST(PixelConverterSets, EveryColourGivesThePlainBytes) {
    constexpr int32_t width = 640, rows = 64, chunk = width * rows;
    std::vector<uint32_t> source(chunk);
    std::vector<uint8_t> expected(size_t(chunk) * 4), actual(size_t(chunk) * 4);
    std::vector<PixelConverter> plain = membersOf(plainPixelConverters());
    for (const PixelConverterSet* set : runnableSets()) {
        std::vector<PixelConverter> fast = membersOf(*set);
        for (uint32_t first = 0; first < (1u << 24); first += chunk) {
            for (int32_t i = 0; i < chunk; ++i) {
                uint32_t colour = (first + uint32_t(i)) & 0xFFFFFF;
                source[size_t(i)] = colour | (colour * 2654435761u) << 24;
            }
            for (size_t k = 0; k < plain.size(); ++k) {
                int32_t bytes = converters[k].bytes;
                for (int32_t r = 0; r < rows; ++r) {
                    plain[k](source.data() + r * width, expected.data() + r * width * bytes, width);
                    fast[k](source.data() + r * width, actual.data() + r * width * bytes, width);
                }
                ASSERT_EQ(std::memcmp(expected.data(), actual.data(), size_t(chunk) * bytes), 0)
                    << set->name << " " << converters[k].name << " from colour " << first;
            }
        }
    }
}

// A surface may be the frame itself: XRGB32 onto its own row leaves the row as it is.
TEST(PixelConverterSets, XRGB32OntoItsOwnRowKeepsIt) {
    std::vector<uint32_t> row = testRow(), original = row;
    for (const PixelConverterSet* set : runnableSets()) {
        set->xrgb32(row.data(), reinterpret_cast<uint8_t*>(row.data()), int32_t(row.size()));
        EXPECT_EQ(row, original) << set->name;
    }
}

// Rows of every length up to a few vectors, from sources at any word in a vector and to
// destinations at any byte: the same bytes as the plain set, and not one byte written past the row.
TEST(PixelConverterSets, AnyLengthAndAlignmentWritesTheRowAndNothingMore) {
    constexpr int32_t longest = 100;
    std::vector<uint32_t> pixels(longest + 4);
    uint32_t state = 777;
    for (uint32_t& pixel : pixels) pixel = state = state * 1664525u + 1013904223u;
    std::vector<PixelConverter> plain = membersOf(plainPixelConverters());
    for (const PixelConverterSet* set : runnableSets()) {
        std::vector<PixelConverter> fast = membersOf(*set);
        for (size_t k = 0; k < plain.size(); ++k) {
            int32_t bytes = converters[k].bytes;
            for (int32_t count = 0; count <= longest; ++count) {
                for (int32_t offset = 0; offset < 4; ++offset) {
                    const uint32_t* source = pixels.data() + offset;
                    std::vector<uint8_t> expected(size_t(count * bytes) + 40, 0xEE), actual = expected;
                    plain[k](source, expected.data() + offset, count);
                    fast[k](source, actual.data() + offset, count);
                    ASSERT_EQ(expected, actual)
                        << set->name << " " << converters[k].name << ", " << count << " pixels at offset " << offset;
                }
            }
        }
    }
}

}  // namespace
