#pragma once
// Helpers of the render tool's tests: small generated modules, scratch files and a way to run the
// program and see its status, output and messages.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/XmWriter.h"

// True where the tests can start the program through a shell (not under Wine).
bool canRunTool();

struct ToolRun {
    int status;       // exit status; -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs a shell command line (the program as "$XMRENDER"), standard output and error kept apart.
ToolRun runShell(const std::string& command);

// Two orders of 8 rows at 882 frames per tick (1.92 s); order 1 ends by breaking into order 0
// row 4, so the song plays 8 + 8 rows and then repeats from there.
std::vector<uint8_t> shortSongImage();

// A silent song of one 256-row pattern at tempo 32 (3445 frames a tick) and the given speed: about
// 20 s for each tick of a row, so speed 17 plays 340 s. Long songs in small files.
std::vector<uint8_t> longSilentSongImage(uint16_t speed);

// A file of this test process under the test temp folder, removed when the tests end.
std::string scratchPath(const std::string& name);
std::string writeScratch(const std::string& name, const std::vector<uint8_t>& bytes);
std::string readWhole(const std::string& path);

uint32_t u32At(const std::string& bytes, size_t at);
uint64_t u64At(const std::string& bytes, size_t at);

// Single quotes around text for the shell.
std::string shellQuoted(const std::string& text);
