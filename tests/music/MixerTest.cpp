#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "music/Mixer.h"
#include "tests/music/MusicSupport.h"

namespace {

constexpr uint64_t One = uint64_t(1) << 32;

// A hand-made sample over values (with zero lead and guard slots around them).
struct TestSample {
    std::vector<int16_t> storage;
    Sample sample{};

    TestSample(std::vector<int16_t> values, uint8_t loopMode, uint32_t loopStart, uint32_t loopLength) {
        storage.assign(4, 0);
        storage.insert(storage.end(), values.begin(), values.end());
        storage.resize(storage.size() + 8, 0);
        sample.data = storage.data() + 4;
        sample.length = uint32_t(values.size());
        sample.loopMode = loopMode;
        sample.loopStart = loopStart;
        sample.loopLength = loopLength;
        sample.volume = 64;
        sample.panning = 128;
        sample.bits = 16;
        uint32_t end = loopStart + loopLength;
        if (loopMode == LoopForward) sample.data[end] = sample.data[loopStart];
        if (loopMode == LoopPingPong) sample.data[end] = sample.data[end - 1];
    }
};

struct MixerRig {
    Mixer mixer{};
    Module module{};
    Channel channel{};

    MixerRig() {
        Mixer::open(mixer, 44100);
        module.mixer = &mixer;
        module.globalVolume = 64;
        module.flags = LinearFrequencyFlag;
        channel.voice = &mixer.voices[3];
        channel.volume = 64;
        channel.volumeEnvelope.value = 64;
        channel.fadeoutVolume = 65536;
        channel.panning = 128;
        channel.panningEnvelope.value = 32;
        channel.period = 4608;  // 8363 Hz
    }

    void commit(uint8_t flags, const Sample* sample) {
        channel.flags = flags;
        Mixer::commitChannel(channel, sample, module);
    }

    // A voice placed by hand: sample, position and step in 32.32, gains at rest.
    Voice& place(const Sample& sample, uint64_t position, uint64_t step, int32_t left, int32_t right) {
        Voice& v = mixer.voices[0];
        v.sample = &sample;
        v.position = position;
        v.step = step;
        v.direction = DirectionForward;
        v.leftTarget = v.latchedLeft = left;
        v.rightTarget = v.latchedRight = right;
        v.leftLevel = left * 256;
        v.rightLevel = right * 256;
        return v;
    }

    std::vector<float> mix(int frames) {
        std::vector<float> out(size_t(frames) * 2, 0.0f);
        Mixer::mixVoices(mixer, out.data(), frames);
        return out;
    }
};

}  // namespace

TEST(Mixer, CommitsVolumePanningAndFrequency) {
    MixerRig rig;
    TestSample tone({100, 200, 300, 400}, LoopForward, 0, 4);
    rig.commit(UpdateTrigger | UpdateVolume | UpdatePanning | UpdateFrequency, &tone.sample);
    Voice& voice = *rig.channel.voice;
    EXPECT_EQ(voice.sample, &tone.sample);
    EXPECT_EQ(voice.volume, 127);  // 64 * 64 * 65536 * 64 * 255 / 2^35 = 127.5
    EXPECT_EQ(voice.panning, 128);
    EXPECT_EQ(voice.leftTarget, 127 * 127 / 255);
    EXPECT_EQ(voice.rightTarget, 128 * 127 / 255);
    EXPECT_EQ(voice.step, (uint64_t(8363 % 44100) << 32) / 44100);

    rig.channel.panning = 0;
    rig.commit(UpdatePanning, nullptr);
    EXPECT_EQ(voice.leftTarget, 127);
    EXPECT_EQ(voice.rightTarget, 0);
    rig.channel.panning = 64;  // envelope at its top pulls towards the right: 64 + 2 * 32
    rig.channel.panningEnvelope.value = 64;
    rig.commit(UpdatePanning, nullptr);
    EXPECT_EQ(voice.panning, 128);

    // Below 100 Hz counts as 100 Hz; a period that sums to 0 leaves the step alone.
    rig.channel.period = 4608 + 768 * 8;  // 8363 / 256 Hz
    rig.commit(UpdateFrequency, nullptr);
    EXPECT_EQ(voice.step, (uint64_t(100) << 32) / 44100);
    rig.module.flags = 0;
    rig.channel.period = 100;
    rig.channel.periodOffset = -100;
    rig.commit(UpdateFrequency, nullptr);
    EXPECT_EQ(voice.step, (uint64_t(100) << 32) / 44100);
    rig.channel.periodOffset = 0;
    rig.commit(UpdateFrequency, nullptr);  // 14317056 / 100 Hz
    EXPECT_EQ(voice.step, (uint64_t(143170 / 44100) << 32) + (uint64_t(143170 % 44100) << 32) / 44100);
}

TEST(Mixer, TriggerOnASoundingVoiceMovesToThePartner) {
    MixerRig rig;
    TestSample first({1000, 1000, 1000, 1000}, LoopForward, 0, 4);
    TestSample second({500, 500, 500, 500}, LoopForward, 0, 4);
    rig.commit(UpdateTrigger | UpdateVolume | UpdateFrequency, &first.sample);
    rig.mix(200);  // ramped up
    Voice* old = rig.channel.voice;
    ASSERT_EQ(old->number, 3);
    EXPECT_EQ(old->leftLevel, old->leftTarget * 256);

    int32_t oldLeft = old->leftTarget;
    rig.commit(UpdateTrigger | UpdateVolume | UpdateFrequency, &second.sample);
    Voice* fresh = rig.channel.voice;
    EXPECT_EQ(fresh, &rig.mixer.voices[35]);
    EXPECT_EQ(fresh->number, 35);
    EXPECT_EQ(fresh->sample, &second.sample);
    EXPECT_EQ(fresh->leftLevel, 0);
    EXPECT_EQ(old->sample, &first.sample);  // still running, fading out
    EXPECT_EQ(old->leftTarget, 0);
    EXPECT_EQ(old->volume, 0);

    std::vector<float> out = rig.mix(200);
    float gain = float(rig.channel.voice->leftTarget) / 255.0f;
    EXPECT_NEAR(out[0], 1000.0f * float(oldLeft) / 255.0f, 1.0f);  // first frame: old note at full level
    EXPECT_FLOAT_EQ(out[2 * 150], 500.0f * gain);                  // after R frames: only the new note
    EXPECT_EQ(old->leftLevel, 0);

    rig.commit(UpdateTrigger, &first.sample);  // and back to voice 3
    EXPECT_EQ(rig.channel.voice, old);
}

TEST(Mixer, GainRampsLinearlyOverOneHundredTwentyEightFrames) {
    MixerRig rig;
    TestSample flat(std::vector<int16_t>(16, 1000), LoopForward, 0, 16);
    Voice& v = rig.place(flat.sample, 0, One, 0, 0);
    v.leftTarget = 127;  // 0 -> 127, left only
    std::vector<float> out = rig.mix(300);
    float step = 127.0f / 255.0f / 128.0f;
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[2 * 64], 1000.0f * 64 * step, 0.01f);
    EXPECT_NEAR(out[2 * 127], 1000.0f * 127 * step, 0.01f);
    EXPECT_FLOAT_EQ(out[2 * 128], 1000.0f * (127.0f / 255.0f));
    EXPECT_FLOAT_EQ(out[2 * 299], 1000.0f * (127.0f / 255.0f));
    for (int i = 0; i < 300; ++i) ASSERT_EQ(out[2 * i + 1], 0.0f) << i;
    EXPECT_EQ(v.leftLevel, 127 * 256);
    EXPECT_EQ(v.rampFrames, 0u);
}

TEST(Mixer, InterpolatesAndStopsANoLoopSampleAtItsEnd) {
    MixerRig rig;
    TestSample s({0, 1000, 2000, 4000}, LoopNone, 0, 4);
    Voice& v = rig.place(s.sample, 0, One + One / 4, 255, 255);  // step 1.25
    std::vector<float> out = rig.mix(8);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[2], 1250.0f);  // 1.25
    EXPECT_FLOAT_EQ(out[4], 3000.0f);  // 2.5
    EXPECT_FLOAT_EQ(out[6], 1000.0f);  // 3.75: towards the zero guard slot
    for (int i = 8; i < 16; ++i) EXPECT_EQ(out[i], 0.0f);
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(v.position, 0u);
}

TEST(Mixer, ForwardLoopWrapsEvenWhenTheStepExceedsTheLoop) {
    MixerRig rig;
    TestSample s({10, 20, 30, 40, 50, 60}, LoopForward, 2, 2);
    Voice& v = rig.place(s.sample, 0, 5 * One, 255, 0);
    std::vector<float> out = rig.mix(3);
    EXPECT_FLOAT_EQ(out[0], 10.0f);  // 0
    EXPECT_FLOAT_EQ(out[2], 40.0f);  // 5 -> 3
    EXPECT_FLOAT_EQ(out[4], 30.0f);  // 8 -> 6 -> 4 -> 2
    EXPECT_EQ(v.position >> 32, 3u);
}

TEST(Mixer, PingPongMirrorsAtBothEnds) {
    MixerRig rig;
    TestSample s({0, 100, 200, 300, 400, 500}, LoopPingPong, 1, 3);          // loop 1..4
    Voice& v = rig.place(s.sample, 3 * One + One * 3 / 4, One / 2, 255, 0);  // 3.75, step 0.5
    rig.mix(1);
    EXPECT_EQ(v.direction, DirectionBackward);
    EXPECT_EQ(v.position, 3 * One + One / 4 * 3 - 1);  // 4.25 mirrored: 3.75 less 2^-32
    std::vector<float> out = rig.mix(6);
    EXPECT_NEAR(out[0], 300.0f, 0.01f);      // ~3.75: value 3 and the guard slot (a copy of it)
    EXPECT_NEAR(out[2 * 2], 275.0f, 0.01f);  // 2.75, backward
    EXPECT_NEAR(out[2 * 5], 125.0f, 0.01f);
    EXPECT_EQ(v.direction, DirectionForward);  // bounced off the loop start (1.25 - 0.5)
    EXPECT_NEAR(double(v.position) / double(One), 1.25, 1e-6);
}

TEST(Mixer, ConvertsToSixteenBitsRoundingHalfToEven) {
    const float in[10] = {0.5f, 1.5f, -0.5f, -1.5f, 2.5f, 40000.0f, -40000.0f, 32767.4f, -32768.6f, 3.49f};
    int16_t out[10];
    std::memset(out, 0x55, sizeof out);
    Mixer::toPcm16(out, in, 5);
    const int16_t expected[10] = {0, 2, 0, -2, 2, 32767, -32768, 32767, -32768, 3};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], expected[i]) << i;
    Mixer::toPcm16(out, in, 0);
    Mixer::toPcm16(nullptr, in, 5);
    EXPECT_EQ(out[0], 0);
}

// Values the mixer does not make today, through both loops: 16 frames, so that the vector loop
// takes every value (it works in groups of eight) and the scalar loop takes them all too.
TEST(Mixer, ConversionOfEdgeValuesIsTheSameInBothLoops) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float big = std::numeric_limits<float>::max();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const float in[32] = {nan,       -nan,      inf,     -inf,    big,           -big,      32767.5f, 32768.0f,
                          -32768.5f, -32769.0f, 3.0e9f,  -3.0e9f, 2147483648.0f, -0.0f,     tiny,     -tiny,
                          0.5f,      -2.5f,     1.0e-3f, nan,     32766.5f,      -32767.5f, 65535.0f, -65536.0f,
                          inf,       nan,       -inf,    -nan,    1.5f,          -1.5f,     0.0f,     nan};
    const int16_t expected[32] = {0,      0,      32767, -32768, 32767,  -32768, 32767, 32767, -32768, -32768, 32767,
                                  -32768, 32767,  0,     0,      0,      0,      -2,    0,     0,      32766,  -32768,
                                  32767,  -32768, 32767, 0,      -32768, 0,      2,     -2,    0,      0};
    int16_t vector[32], scalar[32];
    Mixer::vectorLoops = true;
    Mixer::toPcm16(vector, in, 16);
    Mixer::vectorLoops = false;
    Mixer::toPcm16(scalar, in, 16);
    Mixer::vectorLoops = true;
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(vector[i], expected[i]) << "vector loop, value " << i;
        EXPECT_EQ(scalar[i], expected[i]) << "scalar loop, value " << i;
    }
}

TEST(Mixer, VectorAndScalarLoopsGiveTheSameBits) {
    XmSong song = makeSong(4, 32, 3, 140);
    XmSample wide;
    wide.bits = 16;
    for (int i = 0; i < 3000; ++i) wide.data.push_back(int16_t((i * 611) % 60000 - 30000));
    wide.loop = XmLoop::PingPong;
    wide.loopStart = 700;
    wide.loopLength = 1500;
    song.instruments.push_back(makeInstrument(wide));
    song.instruments.push_back(makeInstrument(makeSample(900, XmLoop::Forward, 10, 850)));
    for (uint16_t row = 0; row < 32; ++row)
        for (uint16_t c = 0; c < 4; ++c)
            if ((row + c) % 3 == 0)
                song.patterns[0].at(row, c, 4) = XmCell{uint8_t(20 + row + 9 * c), uint8_t(1 + c % 2), 0, 4, 0x37};
    std::vector<uint8_t> image = writeXm(song);

    std::vector<int16_t> vector, scalar;
    Mixer::vectorLoops = true;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 44100 * 3, false, vector));
    Mixer::vectorLoops = false;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 44100 * 3, false, scalar));
    Mixer::vectorLoops = true;
    ASSERT_EQ(vector.size(), scalar.size());
    size_t differing = 0;
    for (size_t i = 0; i < vector.size(); ++i) differing += vector[i] != scalar[i];
    EXPECT_EQ(differing, 0u);
    int loud = 0;
    for (int16_t v : vector) loud += v > 1000 || v < -1000;
    EXPECT_GT(loud, 1000);
}

TEST(Mixer, ASilentVoiceAdvancesExactlyAsAnAudibleOne) {
    MixerRig rig;
    TestSample s(std::vector<int16_t>(5000, 100), LoopPingPong, 1000, 3000);
    uint64_t odd = One * 3 / 7 | 1;  // a step with its lowest bit set
    for (uint64_t step : {odd, 5 * One + 12345, One / 3}) {
        Voice& audible = rig.place(s.sample, 1234 * One + 99, step, 10, 20);
        rig.mix(900);
        uint64_t expected = audible.position;
        int32_t direction = audible.direction;
        Voice& silent = rig.place(s.sample, 1234 * One + 99, step, 0, 0);
        std::vector<float> out = rig.mix(900);
        EXPECT_EQ(silent.position, expected);
        EXPECT_EQ(silent.direction, direction);
        for (float v : out) ASSERT_EQ(v, 0.0f);
    }
}

TEST(Mixer, VolumeAndFrequencyTruncateTheirExactValues) {
    MixerRig rig;
    TestSample tone({100, 200, 300, 400}, LoopForward, 0, 4);
    rig.commit(UpdateTrigger, &tone.sample);
    Voice& voice = *rig.channel.voice;

    // 27 x 58 x 58666 x 22 x 255 / 2^35 lies just below 15; a float product rounds it up to 15.
    struct Gains {
        int32_t volume, envelope, fadeout, global;
    };
    for (Gains g : {Gains{27, 58, 58666, 22}, Gains{39, 45, 55838, 22}, Gains{64, 64, 65536, 64}, Gains{1, 1, 1, 1}}) {
        rig.channel.volume = g.volume;
        rig.channel.volumeEnvelope.value = g.envelope;
        rig.channel.fadeoutVolume = g.fadeout;
        rig.module.globalVolume = g.global;
        rig.commit(UpdateVolume, nullptr);
        uint64_t exact =
            (uint64_t(g.volume) * uint64_t(g.envelope) * uint64_t(g.fadeout) * uint64_t(g.global) * 255) >> 35;
        EXPECT_EQ(voice.volume, int32_t(exact)) << g.volume << " " << g.envelope << " " << g.fadeout;
    }

    // Linear frequencies over the whole range of periods the notes and their offsets reach,
    // against the power taken in extended precision with 1/768 as a float.
    int mismatches = 0;
    for (int32_t period = -2000; period <= 9000; ++period) {
        rig.channel.period = period;
        rig.channel.periodOffset = 0;
        rig.commit(UpdateFrequency, nullptr);
        long double exponent = (long double)(4608 - period) * (long double)(1.0f / 768.0f);
        int64_t frequency = int64_t(8363.0L * std::pow(2.0L, exponent));
        if (period == 0) continue;  // period 0 leaves the step alone
        if (voice.step != Mixer::stepFor(rig.mixer, frequency)) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Mixer, AVoiceStandingOnItsBoundaryTurnsBeforeMixing) {
    MixerRig rig;
    TestSample s({0, 1000, 2000, 3000, 4000, 5000}, LoopPingPong, 2, 3);  // loop 2..5
    Voice& v = rig.place(s.sample, 2 * One, One / 2, 255, 0);
    v.direction = DirectionBackward;
    // Exactly on the loop start: mirrored to 2 less 2^-32 at once, then forward by 0.5 (the
    // lowest fraction bit cleared before the step).
    std::vector<float> out = rig.mix(1);
    EXPECT_EQ(v.direction, DirectionForward);
    EXPECT_EQ(v.position, 2 * One + One / 2 - 2);
    EXPECT_FLOAT_EQ(out[0], 2000.0f);

    // A restart while moving backward over a loop that starts at 0: turned at 0 to -2^-32
    // (reading the zero slot before the data), then forward.
    TestSample low({0, 1000, 2000, 3000}, LoopPingPong, 0, 3);
    rig.channel.voice = &rig.mixer.voices[0];
    Voice& w = rig.place(low.sample, 2 * One, One / 2, 255, 0);
    w.direction = DirectionBackward;
    rig.commit(UpdateRestart, nullptr);
    EXPECT_EQ(w.position, 0u);
    out = rig.mix(1);
    EXPECT_EQ(w.direction, DirectionForward);
    EXPECT_EQ(w.position, One / 2 - 2);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
}

TEST(Mixer, BoundaryFrameCountDropsTheLowFractionBits) {
    MixerRig rig;
    std::vector<int16_t> ramp;
    for (int i = 0; i < 16; ++i) ramp.push_back(int16_t(100 * (i + 1)));
    TestSample s(ramp, LoopForward, 0, 16);
    // 10 values and 100 / 2^32 before the loop end at step 1.0: the 8.24 count is 10 frames,
    // which stop 100 / 2^32 short of the end; the loop length is subtracted all the same.
    Voice& v = rig.place(s.sample, 6 * One - 100, One, 255, 0);
    rig.mix(10);
    EXPECT_EQ(int64_t(v.position), -100);
    // The next frame interpolates from the zero slot before the data towards value 0.
    std::vector<float> out = rig.mix(1);
    EXPECT_NEAR(out[0], 100.0f, 0.001f);
    EXPECT_EQ(v.position, One - 100);

    // Within 2^-24 of a ping-pong end: mirrored before any frame is mixed (to 99 / 2^32 past
    // the end), then one step back from there with the lowest fraction bit cleared.
    TestSample p(ramp, LoopPingPong, 0, 16);
    Voice& w = rig.place(p.sample, 16 * One - 100, One / 2, 255, 0);
    out = rig.mix(1);
    EXPECT_EQ(w.direction, DirectionBackward);
    EXPECT_EQ(w.position, 16 * One + 98 - One / 2);
    EXPECT_NEAR(out[0], 1600.0f, 0.001f);
}
