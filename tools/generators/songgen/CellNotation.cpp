#include "tools/generators/songgen/CellNotation.h"

#include "music/ChannelModulation.h"
#include "music/Pitch.h"

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Effect letters as the module stores them: '0'..'9' are 0..9, 'A'..'Z' are 10..35.
int effectLetter(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

bool parseVolumeColumn(std::string_view text, uint8_t& volume, std::string& error) {
    // text is what follows the 'v'
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        int value = 0;
        for (char c : text) {
            if (c < '0' || c > '9' || value > MaxVolume) {
                error = "bad volume '" + std::string(text) + "'";
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value > MaxVolume) {
            error = "volume above " + std::to_string(MaxVolume) + ": " + std::string(text);
            return false;
        }
        volume = uint8_t(0x10 + value);
        return true;
    }
    if (text.size() != 2 || hexDigit(text[1]) < 0) {
        error = "bad volume-column command 'v" + std::string(text) + "'";
        return false;
    }
    static const char kinds[] = "-+dusvplrm";
    for (int i = 0; kinds[i]; ++i) {
        if (text[0] == kinds[i]) {
            volume = uint8_t(0x60 + i * 0x10 + hexDigit(text[1]));
            return true;
        }
    }
    error = "unknown volume-column command 'v" + std::string(text) + "'";
    return false;
}

bool parseAttachment(std::string_view text, SongCell& cell, std::string& error) {
    if (text.empty()) {
        error = "empty attachment after ':'";
        return false;
    }
    if (text == "~") {
        cell.noInstrument = true;
        return true;
    }
    if (text[0] == '@') {
        if (text.size() < 2) {
            error = "missing instrument name after '@'";
            return false;
        }
        cell.instrumentName = std::string(text.substr(1));
        return true;
    }
    if (text[0] == 'v') return parseVolumeColumn(text.substr(1), cell.volume, error);
    if (text.size() == 3 && effectLetter(text[0]) >= 0 && hexDigit(text[1]) >= 0 && hexDigit(text[2]) >= 0) {
        cell.effect = uint8_t(effectLetter(text[0]));
        cell.param = uint8_t(hexDigit(text[1]) * 16 + hexDigit(text[2]));
        return true;
    }
    error = "unknown attachment '" + std::string(text) + "'";
    return false;
}

}  // namespace

int parseNoteName(std::string_view text) {
    static const int semitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (text.size() != 3) return 0;
    char letter = text[0];
    if (letter < 'A' || letter > 'G') return 0;
    int semitone = semitones[letter - 'A'];
    if (text[1] == '#') {
        if (letter == 'E' || letter == 'B') return 0;
        ++semitone;
    } else if (text[1] != '-') {
        return 0;
    }
    if (text[2] < '0' || text[2] > '7') return 0;
    return (text[2] - '0') * SemitonesPerOctave + semitone + 1;
}

bool parseCellToken(std::string_view token, SongCell& cell, std::string& error) {
    cell = SongCell{};
    size_t colon = token.find(':');
    std::string_view head = token.substr(0, colon);
    if (head == "off" || head == "===") {
        cell.note = keyOffNote;
    } else if (head != ".") {
        int note = parseNoteName(head);
        if (note == 0) {
            error = "not a note: '" + std::string(head) + "'";
            return false;
        }
        cell.note = uint8_t(note);
    }
    while (colon != std::string_view::npos) {
        size_t next = token.find(':', colon + 1);
        std::string_view part = token.substr(colon + 1, next == std::string_view::npos ? next : next - colon - 1);
        if (!parseAttachment(part, cell, error)) return false;
        colon = next;
    }
    return true;
}

bool SongCell::isEmpty() const {
    return note == 0 && instrumentName.empty() && volume == 0 && effect == 0 && param == 0;
}
