// The row notation: note names, key-off, instrument and volume-column attachments, effects.
#include <gtest/gtest.h>

#include "tools/generators/songgen/CellNotation.h"

namespace {

SongCell parsed(const char* token) {
    SongCell cell;
    std::string error;
    EXPECT_TRUE(parseCellToken(token, cell, error)) << token << ": " << error;
    return cell;
}

bool rejected(const char* token) {
    SongCell cell;
    std::string error;
    bool ok = parseCellToken(token, cell, error);
    return !ok && !error.empty();
}

TEST(CellNotation, NoteNamesMapToModuleNotes) {
    EXPECT_EQ(parseNoteName("C-0"), 1);
    EXPECT_EQ(parseNoteName("C-4"), 49);
    EXPECT_EQ(parseNoteName("C#4"), 50);
    EXPECT_EQ(parseNoteName("A-4"), 58);
    EXPECT_EQ(parseNoteName("B-7"), 96);
    for (const char* bad : {"E#4", "B#2", "H-4", "C-8", "C4", "c-4", "C-44", ""})
        EXPECT_EQ(parseNoteName(bad), 0) << bad;
}

TEST(CellNotation, RowsCarryNoteKeyOffInstrumentAndEffect) {
    SongCell cell = parsed("C-4:v32:A02");
    EXPECT_EQ(cell.note, 49);
    EXPECT_EQ(cell.volume, 0x30);
    EXPECT_EQ(cell.effect, 10);
    EXPECT_EQ(cell.param, 0x02);
    EXPECT_EQ(parsed("off").note, keyOffNote);
    EXPECT_EQ(parsed("===").note, keyOffNote);
    EXPECT_TRUE(parsed(".").isEmpty());
    cell = parsed(".:E93");
    EXPECT_EQ(cell.note, 0);
    EXPECT_EQ(cell.effect, 14);
    EXPECT_EQ(cell.param, 0x93);
    cell = parsed("G-4:~:305");
    EXPECT_TRUE(cell.noInstrument);
    EXPECT_EQ(cell.effect, 3);
    EXPECT_EQ(parsed("A-5:@bell").instrumentName, "bell");
}

TEST(CellNotation, EffectLettersFollowTheModuleNumbering) {
    EXPECT_EQ(parsed(".:G40").effect, 16);
    EXPECT_EQ(parsed(".:H01").effect, 17);
    EXPECT_EQ(parsed(".:K00").effect, 20);
    EXPECT_EQ(parsed(".:P10").effect, 25);
    EXPECT_EQ(parsed(".:R03").effect, 27);
    EXPECT_EQ(parsed(".:X12").effect, 33);
    EXPECT_EQ(parsed(".:047").effect, 0);
    EXPECT_EQ(parsed(".:047").param, 0x47);
}

TEST(CellNotation, VolumeColumnCommandsEncodeTheirNibbles) {
    EXPECT_EQ(parsed(".:v0").volume, 0x10);
    EXPECT_EQ(parsed(".:v64").volume, 0x50);
    EXPECT_EQ(parsed(".:v-2").volume, 0x62);
    EXPECT_EQ(parsed(".:v+3").volume, 0x73);
    EXPECT_EQ(parsed(".:vd1").volume, 0x81);
    EXPECT_EQ(parsed(".:vu1").volume, 0x91);
    EXPECT_EQ(parsed(".:vs6").volume, 0xA6);
    EXPECT_EQ(parsed(".:vv4").volume, 0xB4);
    EXPECT_EQ(parsed(".:vp8").volume, 0xC8);
    EXPECT_EQ(parsed(".:vlA").volume, 0xDA);
    EXPECT_EQ(parsed(".:vr2").volume, 0xE2);
    EXPECT_EQ(parsed(".:vmF").volume, 0xFF);
}

TEST(CellNotation, MalformedRowsAreRejectedWithAReason) {
    for (const char* bad : {"C-4:v65", "C-4:v", "C-4:vq1", "C-4:v-", "C-4:Z", "C-4::", "X-4", ".:G4", ".:G4G", ".:g40",
                            "C-4:@", "C-4:v6x"})
        EXPECT_TRUE(rejected(bad)) << bad;
}

}  // namespace
