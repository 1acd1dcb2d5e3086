#include "music/BlockMixer.h"

#include <cstring>

#include "music/Mixer.h"

void mixSongFrames(Module& module, float* out, uint32_t frames, const TickObserver* observer) {
    std::memset(out, 0, size_t(frames) * 2 * sizeof(float));
    Mixer& mixer = *module.mixer;
    uint32_t left = module.tickFramesLeft;
    uint32_t done = 0;
    while (done < frames) {
        if (left == 0) {
            int32_t tick = module.tickCounter;
            module.tickHandler(&module);
            left = module.framesPerTick;
            if (left == 0) left = 1;
            if (observer) observer->onTick(observer->user, module, done, tick);
        }
        uint32_t run = left < frames - done ? left : frames - done;
        Mixer::mixVoices(mixer, out + 2 * size_t(done), int32_t(run));
        left -= run;
        done += run;
        // The reciprocal is a float; the product is taken in double, where it is exact, so a run
        // of exactly 20 ms (882 frames) counts 19: the float reciprocal lies just below 1 / 44100.
        module.elapsedMs += int32_t(double(run) * double(mixer.rateReciprocal) * 1000.0);
    }
    module.tickFramesLeft = left;
}
