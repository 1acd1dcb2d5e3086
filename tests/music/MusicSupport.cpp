#include "tests/music/MusicSupport.h"

#include "music/ModuleLoader.h"
#include "music/ModuleStream.h"
#include "music/Sequencer.h"

XmSong makeSong(uint16_t channels, uint16_t rows, uint16_t speed, uint16_t tempo) {
    XmSong song;
    song.name = "test";
    song.channels = channels;
    song.speed = speed;
    song.tempo = tempo;
    song.orders = {0};
    song.patterns.push_back(XmPattern::empty(rows, channels));
    return song;
}

XmInstrument makeInstrument(const XmSample& sample) {
    XmInstrument instrument;
    instrument.name = "instrument";
    instrument.samples.push_back(sample);
    return instrument;
}

XmSample makeSample(uint32_t length, XmLoop loop, uint32_t loopStart, uint32_t loopLength) {
    XmSample sample;
    sample.bits = 8;
    for (uint32_t i = 0; i < length; ++i) sample.data.push_back(int16_t(int32_t(i * 7 % 200) - 100));
    sample.loop = loop;
    sample.loopStart = loopStart;
    sample.loopLength = loopLength;
    return sample;
}

Module* loadImage(const std::vector<uint8_t>& image, const char** error) {
    ModuleStream::install(MemoryStream::operations());
    ModuleImage source{image.data(), uint32_t(image.size())};
    return loadModule(&source, error);
}

Playback::Playback(const XmSong& song) : image(writeXm(song)) {
    render = SongRender::open(image.data(), uint32_t(image.size()));
}

Playback::~Playback() { SongRender::close(render); }

void Playback::ticks(int count) {
    for (int i = 0; i < count; ++i) Sequencer::tick(render->module);
}
