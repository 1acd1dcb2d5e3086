#include "tools/generators/songgen/Synth.h"

#include <algorithm>
#include <cmath>

#include "core/Random.h"
#include "music/Pitch.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int concertPitchNote = 58;
constexpr double concertPitchHz = 440.0;
constexpr int maxHarmonics = 256;

// Resonant 2-pole state-variable filter (trapezoidal integration), all three outputs per step.
struct StateVariableFilter {
    double ic1 = 0.0, ic2 = 0.0;
    double low = 0.0, band = 0.0, high = 0.0;

    void step(double input, double cutoffHz, double rate, double resonance) {
        double g = std::tan(pi * std::min(cutoffHz, rate * 0.49) / rate);
        double k = 1.0 / (0.7071 + resonance * 8.0);
        double a1 = 1.0 / (1.0 + g * (g + k));
        double a2 = g * a1;
        double a3 = g * a2;
        double v3 = input - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = input - k * v1 - v2;
    }
};

bool loopsForward(const SampleRecipe& recipe) { return recipe.loop == SampleLoop::Forward && recipe.loopLength > 0; }

// A frequency moved to the nearest whole number of cycles per forward loop (at least one).
double snapToLoop(const SampleRecipe& recipe, double hz) {
    if (!loopsForward(recipe) || hz <= 0) return hz;
    double cycles = std::max(1.0, std::round(hz * recipe.loopLength / recipe.rate));
    return cycles * recipe.rate / recipe.loopLength;
}

// Exponential approach from start to end with time constant tau (seconds) at time t.
double approach(double start, double end, double tau, double t) { return end + (start - end) * std::exp(-t / tau); }

// One band-limited period at phase phi (radians) with as many harmonics as fit below Nyquist.
double waveValue(Wave wave, double phi, int harmonics, double width) {
    if (wave == Wave::Sine) return std::sin(phi);
    // sin(k phi) and cos(k phi) by the Chebyshev recurrence x(k+1) = 2 cos(phi) x(k) - x(k-1).
    double c1 = std::cos(phi);
    double sinPrev = 0.0, sinK = std::sin(phi);
    double cosPrev = 1.0, cosK = c1;
    double sum = 0.0;
    for (int k = 1; k <= harmonics; ++k) {
        switch (wave) {
        case Wave::Saw: sum += ((k & 1) ? 2.0 : -2.0) / (pi * k) * sinK; break;
        case Wave::Square:
            if (k & 1) sum += 4.0 / (pi * k) * sinK;
            break;
        case Wave::Triangle:
            if (k & 1) sum += ((k & 2) ? -8.0 : 8.0) / (pi * pi * k * k) * sinK;
            break;
        case Wave::Pulse: sum += 2.0 / (pi * k) * std::sin(pi * k * width) * cosK; break;
        case Wave::Sine: break;
        }
        double sinNext = 2.0 * c1 * sinK - sinPrev;
        double cosNext = 2.0 * c1 * cosK - cosPrev;
        sinPrev = sinK;
        sinK = sinNext;
        cosPrev = cosK;
        cosK = cosNext;
    }
    return sum;
}

double layerBaseHz(const SynthLayer& layer, double pitch) {
    double hz = layer.hz > 0 ? layer.hz : layer.ratio * (pitch > 0 ? pitch : 261.6255653);
    return hz * std::pow(2.0, layer.detuneCents / 1200.0);
}

double envelopeAt(const SynthLayer& layer, double t) {
    double amplitude = layer.level;
    if (layer.attack > 0 && t < layer.attack) amplitude *= t / layer.attack;
    if (layer.decay > 0) amplitude *= std::exp(-t / layer.decay);
    return amplitude;
}

void renderLayer(const SynthLayer& layer, const SampleRecipe& recipe, double pitch, std::vector<double>& out) {
    const double rate = recipe.rate;
    const double step = 2.0 * pi / rate;
    double hz = layerBaseHz(layer, pitch);
    bool gliding = layer.kind == LayerKind::Tone && layer.glideHz > 0;
    if (!gliding) hz = snapToLoop(recipe, hz);
    double modHz = snapToLoop(recipe, hz * layer.modRatio);
    double phase = 0.0, modPhase = 0.0;
    StateVariableFilter lowpass, highpass;
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / rate;
        double value = 0.0;
        if (layer.kind == LayerKind::Noise) {
            value = rng::rand() / (rng::randMax / 2.0) - 1.0;
        } else if (layer.kind == LayerKind::Fm) {
            double index = layer.indexEnd >= 0 && layer.indexTime > 0
                               ? approach(layer.index, layer.indexEnd, layer.indexTime, t)
                               : layer.index;
            value = std::sin(phase + index * std::sin(modPhase));
            phase = std::fmod(phase + hz * step, 2.0 * pi);
            modPhase = std::fmod(modPhase + modHz * step, 2.0 * pi);
        } else {
            double f = gliding ? approach(hz, layer.glideHz, layer.glideTime, t) : hz;
            int harmonics = std::clamp(int(0.45 * rate / f), 1, maxHarmonics);
            value = waveValue(layer.wave, phase, harmonics, layer.width);
            phase = std::fmod(phase + f * step, 2.0 * pi);
        }
        if (layer.lowpassHz > 0) {
            lowpass.step(value, layer.lowpassHz, rate, 0.0);
            value = lowpass.low;
        }
        if (layer.highpassHz > 0) {
            highpass.step(value, layer.highpassHz, rate, 0.0);
            value = highpass.high;
        }
        out[i] += value * envelopeAt(layer, t);
    }
}

void applyFilter(const SynthFilter& filter, double rate, std::vector<double>& signal) {
    StateVariableFilter state;
    for (size_t i = 0; i < signal.size(); ++i) {
        double t = double(i) / rate;
        double cutoff = filter.endHz > 0 ? approach(filter.hz, filter.endHz, filter.time, t) : filter.hz;
        state.step(signal[i], cutoff, rate, filter.resonance);
        signal[i] = filter.kind == FilterKind::Lowpass    ? state.low
                    : filter.kind == FilterKind::Highpass ? state.high
                                                          : state.band;
    }
}

// Blends the last `count` values of a forward loop into the values just before its start, so
// that the jump from the loop's end back to its start continues smoothly.
void crossfadeLoop(const SampleRecipe& recipe, std::vector<double>& signal) {
    uint32_t count = std::min({recipe.crossfade, recipe.loopStart, recipe.loopLength});
    uint32_t end = recipe.loopStart + recipe.loopLength;
    for (uint32_t i = 0; i < count; ++i) {
        double w = (i + 1.0) / (count + 1.0);
        uint32_t at = end - count + i;
        signal[at] = signal[at] * (1.0 - w) + signal[recipe.loopStart - count + i] * w;
    }
}

// A one-shot ends at zero: a linear fade over fadeOut seconds (at least a few values).
void fadeTail(const SampleRecipe& recipe, std::vector<double>& signal) {
    size_t count = std::max<size_t>(16, size_t(recipe.fadeOut * recipe.rate));
    count = std::min(count, signal.size());
    for (size_t i = 0; i < count; ++i) signal[signal.size() - 1 - i] *= double(i) / count;
}

}  // namespace

double noteOfFrequency(double hz) {
    return double(concertPitchNote) + double(SemitonesPerOctave) * std::log2(hz / concertPitchHz);
}

double frequencyOfNote(int note) {
    return concertPitchHz * std::pow(2.0, (note - concertPitchNote) / double(SemitonesPerOctave));
}

void tuneToRoot(double rate, double rootNote, int8_t& relativeNote, int8_t& finetune) {
    constexpr long step = FinetuneStepsPerSemitone;
    static_assert(step == 1 << 7, "the shift below divides by the steps of a semitone");
    double semitones = double(SemitonesPerOctave) * std::log2(rate / MiddleRate) - (rootNote - double(MiddleNote));
    long steps = std::lround(semitones * double(step));  // in finetune steps
    long note = (steps + step / 2) >> 7;                 // nearest semitone, halves rounding up
    note = std::clamp(note, -96L, 95L);
    relativeNote = int8_t(note);
    finetune = int8_t(std::clamp(steps - note * step, -step, step - 1));
}

double snappedPitch(const SampleRecipe& recipe) { return snapToLoop(recipe, recipe.pitchHz); }

RenderedSample renderSample(const SampleRecipe& recipe) {
    RenderedSample result;
    uint32_t length = recipe.loop != SampleLoop::None ? recipe.loopStart + recipe.loopLength : recipe.length;
    std::vector<double> signal(length, 0.0);

    double pitch = snappedPitch(recipe);
    rng::srand(recipe.seed);
    for (const SynthLayer& layer : recipe.layers) renderLayer(layer, recipe, pitch, signal);
    for (const SynthFilter& filter : recipe.filters) applyFilter(filter, recipe.rate, signal);
    if (recipe.drive > 0) {
        double norm = std::tanh(recipe.drive);
        for (double& v : signal) v = std::tanh(v * recipe.drive) / norm;
    }
    if (recipe.loop == SampleLoop::None) fadeTail(recipe, signal);
    if (recipe.loop == SampleLoop::Forward) crossfadeLoop(recipe, signal);

    double peak = 0.0;
    for (double v : signal) peak = std::max(peak, std::fabs(v));
    double scale = peak > 0 ? recipe.gain / peak : 0.0;
    double full = recipe.bits == 16 ? 32767.0 : 127.0;
    result.data.resize(length);
    for (size_t i = 0; i < length; ++i) result.data[i] = int16_t(std::lrint(signal[i] * scale * full));

    result.pitchHz = pitch;
    double root = pitch > 0 ? noteOfFrequency(pitch) : recipe.rootNote;
    tuneToRoot(recipe.rate, root - recipe.transpose, result.relativeNote, result.finetune);
    return result;
}
