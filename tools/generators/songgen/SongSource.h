#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The song as a musician writes it, after parsing and before synthesis: instruments as synthesis
// recipes, phrases of rows, patterns assembled from phrases per channel, and the order list.
// Everything here is in musical units (notes, seconds, hertz); SongBuilder turns it into the
// Extended Module's own units.

// One row of one channel, in the module's units: note 0 none, 1..96 (1 = C-0), 97 key-off.
// instrumentName "" means "the phrase's instrument" for a note, none otherwise; noInstrument
// leaves the instrument byte empty even on a note (legato / tone portamento).
struct SongCell {
    uint8_t note = 0;
    std::string instrumentName;
    bool noInstrument = false;
    uint8_t volume = 0;  // volume-column byte as stored
    uint8_t effect = 0;  // effect type as stored (0..35)
    uint8_t param = 0;

    bool isEmpty() const;
};

constexpr uint8_t keyOffNote = 97;

// Waveforms of a tone layer; all are band-limited to the render rate's Nyquist frequency.
enum class Wave : uint8_t { Sine, Saw, Square, Triangle, Pulse };

// What a layer produces before the sample's filter chain.
enum class LayerKind : uint8_t { Tone, Noise, Fm };

// One sound source of a sample recipe. Frequencies are either absolute (hz) or relative to the
// sample's pitch (ratio); a glide moves the frequency exponentially towards glideHz.
struct SynthLayer {
    LayerKind kind = LayerKind::Tone;
    Wave wave = Wave::Sine;
    double ratio = 1.0;  // times the sample's pitch (when hz is 0)
    double hz = 0.0;     // absolute frequency, overrides ratio
    double detuneCents = 0.0;
    double glideHz = 0.0;    // 0: no glide
    double glideTime = 0.0;  // time constant of the glide in seconds
    double width = 0.5;      // pulse width 0..1
    double level = 1.0;
    double attack = 0.0;  // seconds of linear rise
    double decay = 0.0;   // time constant of the exponential fall in seconds; 0 holds
    // Fm: phase modulation of a sine carrier by a sine modulator at modRatio times the carrier.
    double modRatio = 1.0;
    double index = 0.0;
    double indexEnd = -1.0;  // <0: the index stays constant
    double indexTime = 0.0;
    // Per-layer colouring (0: off): 2-pole low-pass and high-pass at fixed cutoffs.
    double lowpassHz = 0.0;
    double highpassHz = 0.0;
};

enum class FilterKind : uint8_t { Lowpass, Highpass, Bandpass };

// A resonant 2-pole filter over the mixed layers; the cutoff moves exponentially from hz towards
// endHz with the given time constant.
struct SynthFilter {
    FilterKind kind = FilterKind::Lowpass;
    double hz = 1000.0;
    double endHz = 0.0;  // 0: fixed cutoff
    double time = 0.0;
    double resonance = 0.0;  // 0..1
};

enum class SampleLoop : uint8_t { None, Forward, PingPong };

// A sample and the recipe that renders it.
struct SampleRecipe {
    std::string name;
    uint8_t bits = 8;
    double rate = 16726.0;  // render rate in Hz
    double pitchHz = 0.0;   // fundamental of a tonal sample (0: not tonal)
    int rootNote = 61;      // module note (1 = C-0) that plays the sample at its render rate
    int transpose = 0;      // extra semitones added to the relative note
    uint32_t length = 0;    // in sample values
    SampleLoop loop = SampleLoop::None;
    uint32_t loopStart = 0;
    uint32_t loopLength = 0;
    uint32_t crossfade = 0;  // samples blended across the loop seam
    uint8_t volume = 64;
    uint8_t panning = 128;
    double drive = 0.0;            // 0: clean; otherwise tanh saturation amount
    double gain = 1.0;             // applied after normalising to full scale
    double fadeOut = 0.0;          // seconds of linear fade at the end of a one-shot
    uint32_t seed = 1;             // noise seed
    int lowKey = 1, highKey = 96;  // module notes this sample serves within its instrument
    std::vector<SynthLayer> layers;
    std::vector<SynthFilter> filters;
};

struct EnvelopeSource {
    std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value)
    int sustain = -1;                                   // point index, -1 none
    int loopStart = -1, loopEnd = -1;
};

struct InstrumentSource {
    std::string name;
    EnvelopeSource volumeEnvelope;
    EnvelopeSource panningEnvelope;
    uint16_t fadeout = 0;  // as stored in the file
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    std::vector<SampleRecipe> samples;
};

struct Phrase {
    std::string name;
    std::string instrument;  // default instrument of its notes
    std::vector<SongCell> rows;
};

// One channel's part of a pattern, already expanded to rows.
struct ChannelPart {
    int channel = -1;  // 0-based
    std::vector<SongCell> rows;
};

struct PatternSource {
    std::string name;
    uint16_t rows = 64;
    std::vector<ChannelPart> parts;  // at most one per channel
};

struct SongSource {
    std::string name;
    uint16_t channels = 4;
    uint16_t speed = 6;
    uint16_t tempo = 125;
    uint16_t restart = 0;
    std::vector<std::string> channelNames;  // optional aliases, index = channel
    std::vector<InstrumentSource> instruments;
    std::vector<Phrase> phrases;
    std::vector<PatternSource> patterns;
    std::vector<std::string> order;  // pattern names
};
