#include "tools/generators/songgen/SongParser.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "music/Channel.h"
#include "music/ChannelModulation.h"
#include "music/Module.h"
#include "music/XmRecords.h"
#include "tools/generators/songgen/CellNotation.h"
#include "tools/generators/songgen/Synth.h"

namespace {

constexpr long lowestTempo = 32;  // the slowest tempo trackers offer

using Words = std::vector<std::string>;

// Splits a line into words; a word starting with '#' ends the line; "..." is one word.
Words splitWords(const std::string& line) {
    Words words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) end = line.size();
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Separates brackets written against a word: "(C-5" -> "(" "C-5", "A-4)*4" -> "A-4" ")*4".
// An opening bracket comes off the front, a closing one (with what follows it) off the back.
Words splitBrackets(const Words& words) {
    Words out;
    for (std::string word : words) {
        while (word.size() > 1 && (word[0] == '(' || word[0] == '[')) {
            out.push_back(word.substr(0, 1));
            word.erase(0, 1);
        }
        size_t close = word.find_first_of(")]");
        if (close != std::string::npos && close > 0) {
            out.push_back(word.substr(0, close));
            word.erase(0, close);
        }
        out.push_back(word);
    }
    return out;
}

bool toInt(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == 0 && value >= low && value <= high;
}

bool toDouble(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == 0 && std::isfinite(value);
}

// Where a pattern line's words came from, for messages while resolving after the last file.
struct Place {
    std::string file;
    int line = 0;
};

struct RawChannelLine {
    Words items;
    Place place;
};

struct RawPattern {
    std::string name;
    uint16_t rows = 64;
    std::map<int, std::vector<RawChannelLine>> channels;  // 0-based channel -> its lines
    std::set<int> ownChannels;                            // channels named in this pattern itself
    Place place;
};

struct RawPhrase {
    std::string name;
    std::string instrument;
    Words words;
    Place place;
};

enum class Block { Top, Instrument, Sample, Phrase, Pattern };

class Parser {
public:
    explicit Parser(SongSource& song) : song_(song) {}

    bool parseFile(const SourceText& file);
    bool finish();
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& message) {
        error_ = place_.file + ":" + std::to_string(place_.line) + ": " + message;
        return false;
    }
    bool failAt(const Place& place, const std::string& message) {
        error_ = place.file + ":" + std::to_string(place.line) + ": " + message;
        return false;
    }

    bool line(const Words& words);
    bool topLevel(const Words& words, bool& handled);
    bool instrumentLine(const Words& words, bool& handled);
    bool sampleLine(const Words& words);
    bool patternLine(const Words& words);
    bool envelope(const Words& words, EnvelopeSource& envelope);
    bool layer(const Words& words);
    bool filter(const Words& words);
    bool number(const std::string& text, double& value, const char* what);
    bool integer(const std::string& text, long low, long high, long& value, const char* what);
    bool note(const std::string& text, int& value);
    int channelIndex(const std::string& name) const;

    bool expandPhrase(const RawPhrase& raw, Phrase& phrase);
    bool expandWords(const Words& words, size_t& i, bool inGroup, std::vector<SongCell>& rows, const Place& place);
    bool resolvePattern(const RawPattern& raw, PatternSource& pattern);
    bool resolveChannel(const RawPattern& raw, int channel, const std::vector<RawChannelLine>& lines,
                        ChannelPart& part);
    bool applyItem(const std::vector<SongCell>& source, const std::string& defaultInstrument,
                   const std::string& modifiers, const Place& place, std::vector<SongCell>& out);

    SongSource& song_;
    Block block_ = Block::Top;
    Place place_;
    std::string error_;
    std::vector<RawPhrase> rawPhrases_;
    std::vector<RawPattern> rawPatterns_;
};

bool Parser::parseFile(const SourceText& file) {
    place_ = {file.fileName, 0};
    size_t start = 0;
    while (start <= file.text.size()) {
        size_t end = file.text.find('\n', start);
        if (end == std::string::npos) end = file.text.size();
        ++place_.line;
        Words words = splitWords(file.text.substr(start, end - start));
        if (!words.empty() && !line(words)) return false;
        start = end + 1;
    }
    return true;
}

bool Parser::number(const std::string& text, double& value, const char* what) {
    if (toDouble(text, value)) return true;
    return fail(std::string("bad ") + what + " '" + text + "'");
}

bool Parser::integer(const std::string& text, long low, long high, long& value, const char* what) {
    if (toInt(text, low, high, value)) return true;
    return fail(std::string("bad ") + what + " '" + text + "' (expected " + std::to_string(low) + ".." +
                std::to_string(high) + ")");
}

bool Parser::note(const std::string& text, int& value) {
    value = parseNoteName(text);
    if (value != 0) return true;
    return fail("not a note: '" + text + "'");
}

int Parser::channelIndex(const std::string& name) const {
    long number = 0;
    if (toInt(name, 1, song_.channels, number)) return int(number - 1);
    for (size_t i = 0; i < song_.channelNames.size(); ++i)
        if (song_.channelNames[i] == name) return int(i);
    return -1;
}

bool Parser::line(const Words& words) {
    bool handled = false;
    if (!topLevel(words, handled)) return false;
    if (handled) return true;
    switch (block_) {
    case Block::Top: return fail("unknown word '" + words[0] + "'");
    case Block::Instrument:
    case Block::Sample:
        if (!instrumentLine(words, handled)) return false;
        if (handled) return true;
        if (block_ != Block::Sample) return fail("'" + words[0] + "' needs a sample (write 'sample NAME' first)");
        return sampleLine(words);
    case Block::Phrase:
        for (const std::string& word : splitBrackets(words)) rawPhrases_.back().words.push_back(word);
        return true;
    case Block::Pattern: return patternLine(words);
    }
    return true;
}

bool Parser::topLevel(const Words& words, bool& handled) {
    const std::string& key = words[0];
    handled = true;
    long value = 0;
    if (key == "song") {
        if (words.size() != 2) return fail("song needs one name");
        song_.name = words[1];
    } else if (key == "channels") {
        if (words.size() != 2 || !integer(words[1], 1, MaxChannels, value, "channel count")) return false;
        song_.channels = uint16_t(value);
    } else if (key == "channel-names") {
        song_.channelNames.assign(words.begin() + 1, words.end());
    } else if (key == "speed") {
        if (words.size() != 2 || !integer(words[1], 1, 31, value, "speed")) return false;
        song_.speed = uint16_t(value);
    } else if (key == "tempo") {
        if (words.size() != 2 || !integer(words[1], lowestTempo, XmMaxSpeedOrTempo, value, "tempo")) return false;
        song_.tempo = uint16_t(value);
    } else if (key == "restart") {
        if (words.size() != 2 || !integer(words[1], 0, XmMaxOrders - 1, value, "restart position")) return false;
        song_.restart = uint16_t(value);
    } else if (key == "order") {
        song_.order.insert(song_.order.end(), words.begin() + 1, words.end());
    } else if (key == "instrument") {
        if (words.size() != 2) return fail("instrument needs one name");
        song_.instruments.push_back({});
        song_.instruments.back().name = words[1];
        block_ = Block::Instrument;
    } else if (key == "phrase") {
        if (words.size() < 2 || words.size() > 3) return fail("usage: phrase NAME [@instrument]");
        RawPhrase phrase{words[1], "", {}, place_};
        if (words.size() == 3) {
            if (words[2].size() < 2 || words[2][0] != '@') return fail("phrase instrument must be written @name");
            phrase.instrument = words[2].substr(1);
        }
        rawPhrases_.push_back(phrase);
        block_ = Block::Phrase;
    } else if (key == "pattern") {
        if (words.size() != 2 && !(words.size() == 4 && words[2] == "from"))
            return fail("usage: pattern NAME [from OTHER]");
        RawPattern pattern;
        pattern.name = words[1];
        pattern.place = place_;
        if (words.size() == 4) {
            const RawPattern* parent = nullptr;
            for (const RawPattern& p : rawPatterns_)
                if (p.name == words[3]) parent = &p;
            if (!parent) return fail("pattern '" + words[3] + "' is not defined above");
            pattern.rows = parent->rows;
            pattern.channels = parent->channels;
        }
        rawPatterns_.push_back(pattern);
        block_ = Block::Pattern;
    } else if (key == "end") {
        block_ = Block::Top;
    } else {
        handled = false;
    }
    return true;
}

bool Parser::envelope(const Words& words, EnvelopeSource& envelope) {
    envelope = {};
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        long value = 0, last = 0;
        if (word == "sustain") {
            if (i + 1 >= words.size() || !integer(words[i + 1], 0, 11, value, "sustain point")) return false;
            envelope.sustain = int(value);
            ++i;
        } else if (word == "loop") {
            if (i + 2 >= words.size() || !integer(words[i + 1], 0, 11, value, "loop start point") ||
                !integer(words[i + 2], 0, 11, last, "loop end point"))
                return false;
            envelope.loopStart = int(value);
            envelope.loopEnd = int(last);
            i += 2;
        } else {
            size_t colon = word.find(':');
            long x = 0, y = 0;
            if (colon == std::string::npos || !toInt(word.substr(0, colon), 0, 65535, x) ||
                !toInt(word.substr(colon + 1), 0, EnvelopeTop, y))
                return fail("bad envelope point '" + word + "' (expected tick:value, value 0.." +
                            std::to_string(EnvelopeTop) + ")");
            if (!envelope.points.empty() && x <= envelope.points.back().first)
                return fail("envelope ticks must increase: '" + word + "'");
            envelope.points.push_back({uint16_t(x), uint16_t(y)});
        }
    }
    if (envelope.points.size() < 2 || envelope.points.size() > MaxEnvelopePoints)
        return fail("an envelope has 2 to " + std::to_string(MaxEnvelopePoints) + " points");
    int count = int(envelope.points.size());
    if (envelope.sustain >= count || envelope.loopEnd >= count || envelope.loopStart > envelope.loopEnd)
        return fail("envelope sustain or loop point outside its points");
    return true;
}

bool Parser::instrumentLine(const Words& words, bool& handled) {
    InstrumentSource& instrument = song_.instruments.back();
    const std::string& key = words[0];
    handled = true;
    long value = 0;
    if (key == "volume-envelope") return envelope(words, instrument.volumeEnvelope);
    if (key == "panning-envelope") return envelope(words, instrument.panningEnvelope);
    if (key == "fadeout") {
        if (words.size() != 2 || !integer(words[1], 0, 32767, value, "fade-out")) return false;
        instrument.fadeout = uint16_t(value);
        return true;
    }
    if (key == "auto-vibrato") {
        static const char* types[] = {"sine", "square", "ramp-down", "ramp-up"};
        if (words.size() != 8) return fail("usage: auto-vibrato TYPE sweep S depth D rate R");
        int type = -1;
        for (int i = 0; i < 4; ++i)
            if (words[1] == types[i]) type = i;
        if (type < 0) return fail("unknown auto-vibrato type '" + words[1] + "'");
        instrument.vibratoType = uint8_t(type);
        for (size_t i = 2; i + 1 < words.size(); i += 2) {
            if (!integer(words[i + 1], 0, 255, value, words[i].c_str())) return false;
            if (words[i] == "sweep")
                instrument.vibratoSweep = uint8_t(value);
            else if (words[i] == "depth")
                instrument.vibratoDepth = uint8_t(value);
            else if (words[i] == "rate")
                instrument.vibratoRate = uint8_t(value);
            else
                return fail("unknown auto-vibrato setting '" + words[i] + "'");
        }
        return true;
    }
    if (key == "sample") {
        if (words.size() != 2) return fail("sample needs one name");
        if (instrument.samples.size() >= XmEditableSamples)
            return fail("an instrument holds at most " + std::to_string(XmEditableSamples) + " samples");
        instrument.samples.push_back({});
        instrument.samples.back().name = words[1];
        block_ = Block::Sample;
        return true;
    }
    handled = false;
    return true;
}

bool Parser::sampleLine(const Words& words) {
    SampleRecipe& sample = song_.instruments.back().samples.back();
    const std::string& key = words[0];
    long value = 0, second = 0;
    double real = 0;
    if (key == "tone" || key == "noise" || key == "fm") return layer(words);
    if (key == "lowpass" || key == "highpass" || key == "bandpass") return filter(words);
    if (key == "loop") {
        static const char* modes[] = {"none", "forward", "pingpong"};
        int mode = -1;
        for (int i = 0; i < 3; ++i)
            if (words.size() >= 2 && words[1] == modes[i]) mode = i;
        if (mode < 0) return fail("usage: loop none|forward|pingpong START LENGTH");
        sample.loop = SampleLoop(mode);
        if (mode == 0) return true;
        if (words.size() != 4 || !integer(words[2], 0, 1 << 24, value, "loop start") ||
            !integer(words[3], 1, 1 << 24, second, "loop length"))
            return false;
        sample.loopStart = uint32_t(value);
        sample.loopLength = uint32_t(second);
        return true;
    }
    if (key == "keys") {
        int low = 0, high = 0;
        if (words.size() != 3 || !note(words[1], low) || !note(words[2], high)) return false;
        if (low > high) return fail("keys: the low key is above the high key");
        sample.lowKey = low;
        sample.highKey = high;
        return true;
    }
    if (words.size() != 2) return fail("'" + key + "' takes one value");
    const std::string& arg = words[1];
    if (key == "bits") {
        if (arg != "8" && arg != "16") return fail("bits is 8 or 16");
        sample.bits = uint8_t(arg == "8" ? 8 : 16);
    } else if (key == "rate") {
        if (!number(arg, real, "rate")) return false;
        if (real < 1000 || real > 96000) return fail("rate must lie in 1000..96000 Hz");
        sample.rate = real;
    } else if (key == "pitch") {
        int n = parseNoteName(arg);
        if (n != 0) {
            sample.pitchHz = frequencyOfNote(n);
        } else {
            if (!number(arg, real, "pitch")) return false;
            if (real <= 0) return fail("pitch must be above 0 Hz");
            sample.pitchHz = real;
        }
    } else if (key == "root") {
        int n = 0;
        if (!note(arg, n)) return false;
        sample.rootNote = n;
    } else if (key == "transpose") {
        if (!integer(arg, -48, 48, value, "transpose")) return false;
        sample.transpose = int(value);
    } else if (key == "length") {
        if (!arg.empty() && arg.back() == 's') {
            if (!number(arg.substr(0, arg.size() - 1), real, "length")) return false;
            value = long(std::lround(real * sample.rate));
        } else if (!integer(arg, 1, 1 << 24, value, "length")) {
            return false;
        }
        if (value < 1 || value > (1 << 24)) return fail("length out of range");
        sample.length = uint32_t(value);
    } else if (key == "crossfade") {
        if (!integer(arg, 0, 1 << 20, value, "crossfade")) return false;
        sample.crossfade = uint32_t(value);
    } else if (key == "volume") {
        if (!integer(arg, 0, MaxVolume, value, "volume")) return false;
        sample.volume = uint8_t(value);
    } else if (key == "pan") {
        if (!integer(arg, 0, MaxPanning, value, "pan")) return false;
        sample.panning = uint8_t(value);
    } else if (key == "drive") {
        if (!number(arg, sample.drive, "drive")) return false;
    } else if (key == "gain") {
        if (!number(arg, sample.gain, "gain")) return false;
        if (sample.gain <= 0 || sample.gain > 1) return fail("gain lies in 0..1 (samples are normalised)");
    } else if (key == "fade") {
        if (!number(arg, sample.fadeOut, "fade")) return false;
    } else if (key == "seed") {
        if (!integer(arg, 0, 0x7FFFFFFF, value, "seed")) return false;
        sample.seed = uint32_t(value);
    } else {
        return fail("unknown sample setting '" + key + "'");
    }
    return true;
}

bool Parser::layer(const Words& words) {
    SynthLayer layer;
    size_t i = 1;
    if (words[0] == "noise") {
        layer.kind = LayerKind::Noise;
    } else if (words[0] == "fm") {
        layer.kind = LayerKind::Fm;
    } else {
        static const char* waves[] = {"sine", "saw", "square", "triangle", "pulse"};
        int wave = -1;
        for (int w = 0; w < 5; ++w)
            if (words.size() > 1 && words[1] == waves[w]) wave = w;
        if (wave < 0) return fail("tone needs a wave: sine, saw, square, triangle or pulse");
        layer.wave = Wave(wave);
        i = 2;
    }
    for (; i < words.size(); i += 2) {
        const std::string& key = words[i];
        if (i + 1 >= words.size()) return fail("'" + key + "' needs a value");
        double value = 0;
        if (!number(words[i + 1], value, key.c_str())) return false;
        bool fm = layer.kind == LayerKind::Fm;
        if (key == "ratio")
            layer.ratio = value;
        else if (key == "hz")
            layer.hz = value;
        else if (key == "detune")
            layer.detuneCents = value;
        else if (key == "to" && fm)
            layer.indexEnd = value;
        else if (key == "to")
            layer.glideHz = value;
        else if (key == "time" && fm)
            layer.indexTime = value;
        else if (key == "time")
            layer.glideTime = value;
        else if (key == "width")
            layer.width = value;
        else if (key == "level")
            layer.level = value;
        else if (key == "attack")
            layer.attack = value;
        else if (key == "decay")
            layer.decay = value;
        else if (key == "mod" && fm)
            layer.modRatio = value;
        else if (key == "index" && fm)
            layer.index = value;
        else if (key == "lp")
            layer.lowpassHz = value;
        else if (key == "hp")
            layer.highpassHz = value;
        else
            return fail("unknown layer setting '" + key + "'");
        if (value < 0 && key != "detune") return fail("'" + key + "' cannot be negative");
    }
    if (layer.glideHz > 0 && layer.glideTime <= 0) return fail("a glide ('to') needs a 'time'");
    song_.instruments.back().samples.back().layers.push_back(layer);
    return true;
}

bool Parser::filter(const Words& words) {
    SynthFilter filter;
    filter.kind = words[0] == "lowpass"    ? FilterKind::Lowpass
                  : words[0] == "highpass" ? FilterKind::Highpass
                                           : FilterKind::Bandpass;
    if (words.size() < 2 || !number(words[1], filter.hz, "cutoff")) return false;
    for (size_t i = 2; i < words.size(); i += 2) {
        if (i + 1 >= words.size()) return fail("'" + words[i] + "' needs a value");
        double value = 0;
        if (!number(words[i + 1], value, words[i].c_str())) return false;
        if (words[i] == "to")
            filter.endHz = value;
        else if (words[i] == "time")
            filter.time = value;
        else if (words[i] == "res")
            filter.resonance = value;
        else
            return fail("unknown filter setting '" + words[i] + "'");
    }
    if (filter.hz <= 0 || filter.resonance < 0 || filter.resonance > 1)
        return fail("a filter needs a cutoff above 0 and a resonance in 0..1");
    if (filter.endHz > 0 && filter.time <= 0) return fail("a cutoff sweep ('to') needs a 'time'");
    song_.instruments.back().samples.back().filters.push_back(filter);
    return true;
}

bool Parser::patternLine(const Words& words) {
    RawPattern& pattern = rawPatterns_.back();
    long value = 0;
    if (words[0] == "rows") {
        if (words.size() != 2 || !integer(words[1], 1, 256, value, "row count")) return false;
        pattern.rows = uint16_t(value);
        return true;
    }
    const std::string& head = words[0];
    if (head.size() < 2 || head.back() != ':') return fail("expected 'CHANNEL: items' or 'rows N', got '" + head + "'");
    int channel = channelIndex(head.substr(0, head.size() - 1));
    if (channel < 0) return fail("unknown channel '" + head.substr(0, head.size() - 1) + "'");
    if (!pattern.ownChannels.count(channel)) {
        pattern.channels[channel].clear();
        pattern.ownChannels.insert(channel);
    }
    pattern.channels[channel].push_back({splitBrackets(Words(words.begin() + 1, words.end())), place_});
    return true;
}

// Expands row words with repeats into rows. On return i is past the group's closing word.
bool Parser::expandWords(const Words& words, size_t& i, bool inGroup, std::vector<SongCell>& rows, const Place& place) {
    while (i < words.size()) {
        const std::string& word = words[i];
        if (word == "(") {
            ++i;
            std::vector<SongCell> group;
            if (!expandWords(words, i, true, group, place)) return false;
            const std::string& close = words[i - 1];
            long times = 1;
            if (close.size() > 1 && (close.size() < 3 || close[1] != '*' || !toInt(close.substr(2), 1, 256, times)))
                return failAt(place, "bad group end '" + close + "' (expected ')' or ')*N')");
            for (long t = 0; t < times; ++t) rows.insert(rows.end(), group.begin(), group.end());
            continue;
        }
        if (!word.empty() && word[0] == ')') {
            if (!inGroup) return failAt(place, "')' without '('");
            ++i;
            return true;
        }
        std::string token = word;
        long times = 1;
        size_t star = word.rfind('*');
        if (star != std::string::npos) {
            if (!toInt(word.substr(star + 1), 1, 256, times)) return failAt(place, "bad repeat in '" + word + "'");
            token = word.substr(0, star);
        }
        SongCell cell;
        std::string error;
        if (!parseCellToken(token, cell, error)) return failAt(place, error);
        rows.insert(rows.end(), size_t(times), cell);
        ++i;
    }
    if (inGroup) return failAt(place, "'(' without ')'");
    return true;
}

bool Parser::expandPhrase(const RawPhrase& raw, Phrase& phrase) {
    phrase.name = raw.name;
    phrase.instrument = raw.instrument;
    size_t i = 0;
    return expandWords(raw.words, i, false, phrase.rows, raw.place);
}

// Parses ":XYY" (an effect attachment) into cell's effect fields.
bool parseEffectModifier(const std::string& text, SongCell& cell) {
    std::string token(1, '.');
    token.append(text);
    std::string ignored;
    return parseCellToken(token, cell, ignored) && (cell.effect != 0 || cell.param != 0);
}

// Applies an item's modifiers (+N, -N, @inst, :vNN, *N) to a phrase's rows.
bool Parser::applyItem(const std::vector<SongCell>& source, const std::string& defaultInstrument,
                       const std::string& modifiers, const Place& place, std::vector<SongCell>& out) {
    long transpose = 0, times = 1;
    std::string instrument = defaultInstrument;
    uint8_t volume = 0;
    SongCell effect;
    size_t i = 0;
    while (i < modifiers.size()) {
        char kind = modifiers[i];
        size_t end = i + 1;
        while (end < modifiers.size() && modifiers[end] != '+' && modifiers[end] != '-' && modifiers[end] != '*' &&
               modifiers[end] != '@' && modifiers[end] != ':')
            ++end;
        std::string arg = modifiers.substr(i + 1, end - i - 1);
        long value = 0;
        if ((kind == '+' || kind == '-') && toInt(arg, 0, 95, value)) {
            transpose += kind == '+' ? value : -value;
        } else if (kind == '*' && toInt(arg, 1, 256, value)) {
            times = value;
        } else if (kind == '@' && !arg.empty()) {
            instrument = arg;
        } else if (kind == ':' && arg.size() > 1 && arg[0] == 'v' && toInt(arg.substr(1), 0, MaxVolume, value)) {
            volume = uint8_t(0x10 + value);
        } else if (kind == ':' && arg.size() == 3 && parseEffectModifier(modifiers.substr(i, end - i), effect)) {
            // an effect for every note that has none (e.g. :8C0 pans them all)
        } else {
            return failAt(place, "bad modifier '" + modifiers.substr(i, end - i) + "'");
        }
        i = end;
    }
    for (long t = 0; t < times; ++t) {
        for (SongCell cell : source) {
            if (cell.note >= 1 && cell.note <= 96) {
                long moved = cell.note + transpose;
                if (moved < 1 || moved > 96) return failAt(place, "transposed note leaves C-0..B-7");
                cell.note = uint8_t(moved);
                if (cell.instrumentName.empty() && !cell.noInstrument) cell.instrumentName = instrument;
                if (cell.volume == 0) cell.volume = volume;
                if (cell.effect == 0 && cell.param == 0) {
                    cell.effect = effect.effect;
                    cell.param = effect.param;
                }
            }
            out.push_back(cell);
        }
    }
    return true;
}

bool Parser::resolveChannel(const RawPattern& raw, int channel, const std::vector<RawChannelLine>& lines,
                            ChannelPart& part) {
    part.channel = channel;
    bool shifted = false;
    for (const RawChannelLine& line : lines) {
        for (size_t i = 0; i < line.items.size(); ++i) {
            const std::string& item = line.items[i];
            long value = 0;
            if (item[0] == '>') {
                if (!toInt(item.substr(1), 0, 256, value)) return failAt(line.place, "bad skip '" + item + "'");
                part.rows.insert(part.rows.end(), size_t(value), SongCell{});
                shifted = true;
                continue;
            }
            std::vector<SongCell> rows;
            std::string instrument, modifiers;
            if (item == "[") {
                size_t close = i + 1;
                while (close < line.items.size() && line.items[close].rfind("]", 0) != 0) ++close;
                if (close >= line.items.size()) return failAt(line.place, "'[' without ']'");
                Words inner(line.items.begin() + long(i) + 1, line.items.begin() + long(close));
                size_t at = 0;
                if (!expandWords(inner, at, false, rows, line.place)) return false;
                modifiers = line.items[close].substr(1);
                i = close;
            } else {
                size_t end = 0;
                while (end < item.size() && (std::isalnum(static_cast<unsigned char>(item[end])) || item[end] == '_'))
                    ++end;
                std::string name = item.substr(0, end);
                const Phrase* phrase = nullptr;
                for (const Phrase& p : song_.phrases)
                    if (p.name == name) phrase = &p;
                if (!phrase) return failAt(line.place, "unknown phrase '" + name + "'");
                rows = phrase->rows;
                instrument = phrase->instrument;
                modifiers = item.substr(end);
            }
            if (!applyItem(rows, instrument, modifiers, line.place, part.rows)) return false;
        }
    }
    if (part.rows.size() > raw.rows) {
        if (!shifted)
            return failAt(lines.back().place, "channel runs " + std::to_string(part.rows.size()) +
                                                  " rows, longer than the pattern's " + std::to_string(raw.rows));
        part.rows.resize(raw.rows);
    }
    return true;
}

bool Parser::resolvePattern(const RawPattern& raw, PatternSource& pattern) {
    pattern.name = raw.name;
    pattern.rows = raw.rows;
    for (const auto& [channel, lines] : raw.channels) {
        if (lines.empty()) continue;
        ChannelPart part;
        if (!resolveChannel(raw, channel, lines, part)) return false;
        pattern.parts.push_back(part);
    }
    return true;
}

bool Parser::finish() {
    for (const RawPhrase& raw : rawPhrases_) {
        for (const Phrase& p : song_.phrases)
            if (p.name == raw.name) return failAt(raw.place, "phrase '" + raw.name + "' defined twice");
        Phrase phrase;
        if (!expandPhrase(raw, phrase)) return false;
        song_.phrases.push_back(phrase);
    }
    for (const RawPattern& raw : rawPatterns_) {
        for (const PatternSource& p : song_.patterns)
            if (p.name == raw.name) return failAt(raw.place, "pattern '" + raw.name + "' defined twice");
        PatternSource pattern;
        if (!resolvePattern(raw, pattern)) return false;
        song_.patterns.push_back(pattern);
    }
    return true;
}

}  // namespace

bool parseSong(const std::vector<SourceText>& files, SongSource& song, std::string& error) {
    song = SongSource{};
    Parser parser(song);
    for (const SourceText& file : files) {
        if (!parser.parseFile(file)) {
            error = parser.error();
            return false;
        }
    }
    if (!parser.finish()) {
        error = parser.error();
        return false;
    }
    return true;
}
