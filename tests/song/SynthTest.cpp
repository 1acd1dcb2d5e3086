// The synthesiser: tuning that the module format turns back into the intended pitch, loops
// that join without a jump, level and bit depth, reproducible noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/generators/songgen/Synth.h"

namespace {

// The playback rate the format's linear frequency table gives module note `note` (1 = C-0) of a
// sample with the given relative note and finetune: period 7680 - 64 x (note - 1 + relative) -
// finetune / 2, and 8363 Hz at period 4608 (C-4), doubling every 768.
double playbackRate(int note, int relativeNote, int finetune) {
    int period = 7680 - (note - 1 + relativeNote) * 64 - finetune / 2;
    return 8363.0 * std::pow(2.0, (4608 - period) / 768.0);
}

double cents(double a, double b) { return 1200.0 * std::log2(a / b); }

SampleRecipe sineRecipe(double rate, double pitchHz, uint32_t length) {
    SampleRecipe recipe;
    recipe.rate = rate;
    recipe.pitchHz = pitchHz;
    recipe.length = length;
    recipe.layers.push_back(SynthLayer{});
    return recipe;
}

// Frequency by counting upward zero crossings over whole periods.
double measuredHz(const std::vector<int16_t>& data, size_t begin, size_t end, double rate) {
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (data[i - 1] < 0 && data[i] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * rate / double(last - first);
}

TEST(Synth, RootNotePlaysAtTheRenderRate) {
    for (double rate : {8363.0, 11025.0, 16726.0, 22050.0, 44100.0}) {
        for (int root : {25, 49, 61, 70}) {
            int8_t relative = 0, finetune = 0;
            tuneToRoot(rate, root, relative, finetune);
            // finetune is applied in halves, so the format resolves 1/64 semitone (about 1.6 cents)
            EXPECT_LT(std::fabs(cents(playbackRate(root, relative, finetune), rate)), 1.6) << rate << " " << root;
        }
    }
    int8_t relative = 1, finetune = 1;
    tuneToRoot(8363.0, 49, relative, finetune);
    EXPECT_EQ(relative, 0);
    EXPECT_EQ(finetune, 0);
}

TEST(Synth, TonalSamplesPlayInTuneOnEveryNote) {
    SampleRecipe recipe = sineRecipe(16726.0, 261.6255653, 2048);  // C-4
    recipe.loop = SampleLoop::Forward;
    recipe.loopStart = 0;
    recipe.loopLength = 2048;
    RenderedSample sample = renderSample(recipe);
    // The pitch moved to whole cycles per loop; the tuning follows the moved pitch.
    double cycles = sample.pitchHz * recipe.loopLength / recipe.rate;
    EXPECT_NEAR(cycles, std::round(cycles), 1e-9);
    for (int note : {34, 49, 58, 70}) {
        double wanted = 440.0 * std::pow(2.0, (note - 58) / 12.0);
        double played = sample.pitchHz * playbackRate(note, sample.relativeNote, sample.finetune) / recipe.rate;
        EXPECT_LT(std::fabs(cents(played, wanted)), 2.0) << "note " << note;
    }
    EXPECT_NEAR(measuredHz(sample.data, 0, sample.data.size(), recipe.rate), sample.pitchHz, 0.5);
}

TEST(Synth, LoopsJoinWithoutAJump) {
    SampleRecipe recipe = sineRecipe(16726.0, 300.0, 3000);
    recipe.layers[0].wave = Wave::Saw;
    recipe.layers.push_back(SynthLayer{});
    recipe.layers[1].ratio = 1.5;
    recipe.layers[1].detuneCents = 11;
    recipe.loop = SampleLoop::Forward;
    recipe.loopStart = 1000;
    recipe.loopLength = 1500;
    RenderedSample sample = renderSample(recipe);
    ASSERT_EQ(sample.data.size(), 2500u);  // nothing is kept past the loop's end
    int largestStep = 0;
    for (size_t i = recipe.loopStart + 1; i < sample.data.size(); ++i)
        largestStep = std::max(largestStep, std::abs(sample.data[i] - sample.data[i - 1]));
    int seam = std::abs(sample.data[recipe.loopStart] - sample.data.back());
    EXPECT_LE(seam, largestStep);
}

TEST(Synth, CrossfadeSmoothsALoopOverNoise) {
    SampleRecipe recipe;
    recipe.rate = 22050;
    recipe.length = 1300;
    recipe.loop = SampleLoop::Forward;
    recipe.loopStart = 256;
    recipe.loopLength = 1024;
    recipe.layers.push_back(SynthLayer{LayerKind::Noise});
    recipe.layers[0].lowpassHz = 500;  // slow enough that neighbouring values are close
    RenderedSample raw = renderSample(recipe);
    recipe.crossfade = 200;
    RenderedSample blended = renderSample(recipe);
    int rawSeam = std::abs(raw.data[256] - raw.data.back());
    int blendedSeam = std::abs(blended.data[256] - blended.data.back());
    EXPECT_LT(blendedSeam, 8) << "the blended loop end continues into the loop start";
    EXPECT_LT(blendedSeam, rawSeam);
}

TEST(Synth, SamplesAreNormalisedToTheirBitDepth) {
    SampleRecipe recipe = sineRecipe(22050.0, 440.0, 4000);
    recipe.bits = 8;
    RenderedSample eight = renderSample(recipe);
    recipe.bits = 16;
    RenderedSample sixteen = renderSample(recipe);
    recipe.gain = 0.5;
    RenderedSample half = renderSample(recipe);
    auto peak = [](const RenderedSample& s) {
        int p = 0;
        for (int16_t v : s.data) p = std::max(p, std::abs(int(v)));
        return p;
    };
    EXPECT_EQ(peak(eight), 127);
    EXPECT_EQ(peak(sixteen), 32767);
    EXPECT_NEAR(peak(half), 16384, 2);
    EXPECT_EQ(eight.data.back(), 0) << "a one-shot ends in silence";
    EXPECT_NEAR(measuredHz(sixteen.data, 0, 3000, 22050.0), 440.0, 0.5);
}

TEST(Synth, GlidesAndDecaysShapeTheSound) {
    SampleRecipe recipe;
    recipe.rate = 11025;
    recipe.length = 2756;
    recipe.bits = 16;
    SynthLayer kick;
    kick.hz = 190;
    kick.glideHz = 45;
    kick.glideTime = 0.03;
    kick.decay = 0.1;
    recipe.layers.push_back(kick);
    RenderedSample sample = renderSample(recipe);
    double early = measuredHz(sample.data, 0, 220, 11025.0);
    double late = measuredHz(sample.data, 1300, 2600, 11025.0);
    EXPECT_GT(early, 110.0);
    EXPECT_NEAR(late, 45.0, 3.0);
    auto energy = [&](size_t begin, size_t end) {
        double sum = 0;
        for (size_t i = begin; i < end; ++i) sum += double(sample.data[i]) * sample.data[i];
        return sum;
    };
    EXPECT_GT(energy(0, 500), 4 * energy(2000, 2500));
}

TEST(Synth, NoiseFollowsItsSeed) {
    SampleRecipe recipe;
    recipe.rate = 22050;
    recipe.length = 512;
    recipe.layers.push_back(SynthLayer{LayerKind::Noise});
    recipe.seed = 5;
    RenderedSample first = renderSample(recipe);
    RenderedSample again = renderSample(recipe);
    recipe.seed = 6;
    RenderedSample other = renderSample(recipe);
    EXPECT_EQ(first.data, again.data);
    EXPECT_NE(first.data, other.data);
}

TEST(Synth, SawStaysBelowNyquist) {
    // A saw near the top of the range: additive synthesis leaves out every harmonic at or above
    // the Nyquist frequency, so a 3 kHz saw at 16726 Hz is its fundamental and second harmonic.
    SampleRecipe recipe = sineRecipe(16726.0, 3000.0, 4096);
    recipe.layers[0].wave = Wave::Saw;
    recipe.bits = 16;
    RenderedSample sample = renderSample(recipe);
    // Project onto sines and cosines of each harmonic, and onto an alias frequency.
    auto amplitude = [&](double hz) {
        double s = 0, c = 0;
        for (size_t i = 0; i < 4000; ++i) {
            double phase = 2 * 3.14159265358979 * hz * double(i) / recipe.rate;
            s += sample.data[i] * std::sin(phase);
            c += sample.data[i] * std::cos(phase);
        }
        return std::hypot(s, c) / 4000;
    };
    double fundamental = amplitude(3000.0);
    EXPECT_GT(amplitude(6000.0), fundamental * 0.3);
    EXPECT_LT(amplitude(16726.0 - 9000.0), fundamental * 0.01) << "the third harmonic folded back";
}

}  // namespace
