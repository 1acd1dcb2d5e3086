// fingerprint: prints one line "NAME HASH" for each thing the show computes that must come out the
// same on every platform and compiler:
//   textures   the procedural textures of the show's script
//   sine       the sine table
//   loading    the loading screen (without its caption) over the texture build
//   song       the embedded song rendered offline, all of it
//   SCENE      each Scene of the show (when built) over 120 frames at fixed time steps, captions
//              blank, from the first row of the first order it plays in (the title from order 1,
//              where its object flies: order 0 holds nothing but captions), in the show's order
// The hash is 64-bit FNV-1a over the bytes, little-endian. Builds that print the same lines draw
// the same pictures and play the same sound; font engines are left out, since their glyphs differ.
#include <cstdio>
#include <cstring>
#include <vector>

#include "assets/Song.h"
#include "assets/TextureScript.h"
#include "core/Random.h"
#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/SineTable.h"
#include "music/ModulePlayer.h"
#include "music/SongRender.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "scenes/Scene.h"
#include "show/Framebuffer.h"
#include "show/LoadingScreen.h"
#include "show/Show.h"
#include "texture/TextureScript.h"

namespace {

struct Fnv {
    uint64_t value = 0xcbf29ce484222325ull;

    void add(const void* data, size_t size) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 0x100000001b3ull;
    }
    void addWords(const uint32_t* words, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            uint8_t bytes[4] = {uint8_t(words[i]), uint8_t(words[i] >> 8), uint8_t(words[i] >> 16),
                                uint8_t(words[i] >> 24)};
            add(bytes, 4);
        }
    }
};

void print(const char* name, const Fnv& hash) {
    std::printf("%s %016llx\n", name, static_cast<unsigned long long>(hash.value));
}

Fnv loadingFrames;

void hashLoadingStep() {
    LoadingScreen::draw(&framebuffer);
    loadingFrames.addWords(framebuffer.pixels, size_t(framebuffer.pixelCount()));
}

// The embedded song on a device that plays only when told, so that the Scenes, which read the
// audible order and row from the player, see the position each is hashed at.
VirtualAudioDevice songDevice;

// Plays the song on until order is audible; false if it never is.
bool playUntilOrder(int32_t order) {
    for (int32_t block = 0; block < 100000; ++block) {
        if (ModulePlayer::currentOrder() == order) return true;
        if (ModulePlayer::currentOrder() > order || !songDevice.advance(882 * 4)) return false;
    }
    return false;
}

void hashScene(const char* name, Scene* scene, int32_t order) {
    if (scene == nullptr) return;
    if (!playUntilOrder(order)) {
        std::fprintf(stderr, "fingerprint: the song never reaches order %d\n", int(order));
        return;
    }
    Fnv frames;
    scene->init(&framebuffer, LoadingScreen::step);
    // Time steps as a frame clock following 20 ms audio blocks gives them: 0, then 1.2 or 2.4.
    for (int32_t frame = 0; frame < 120; ++frame) {
        float timeStep = frame == 0 ? 0.0f : (frame % 3 == 0 ? 2.4f : 1.2f);
        scene->renderFrame(&framebuffer, timeStep, float(frame * 20));
        frames.addWords(framebuffer.pixels, size_t(framebuffer.pixelCount()));
    }
    print(name, frames);
}

}  // namespace

int main() {
    useFontEngine(nullptr);
    rng::srand(1);

    TextureTable textures = buildTextures(textureScriptTable, hashLoadingStep);
    Fnv textureHash;
    for (uint32_t i = 0; i < textures.count; ++i) textureHash.addWords(textures.textures[i], 256 * 256);
    print("textures", textureHash);
    print("loading", loadingFrames);

    buildSineTable();
    Fnv sineHash;
    for (int32_t i = 0; i < sineTableSize; ++i) {
        uint32_t bits;
        static_assert(sizeof(bits) == sizeof(float));
        std::memcpy(&bits, &sineTable[i], 4);
        sineHash.addWords(&bits, 1);
    }
    print("sine", sineHash);

    std::vector<int16_t> pcm;
    const char* error = nullptr;
    if (!renderSong(songImage, songImageSize, 44100ull * 600, true, pcm, nullptr, &error)) {
        std::fprintf(stderr, "fingerprint: the song cannot be played: %s\n", error ? error : "unknown reason");
        return 1;
    }
    Fnv songHash;
    for (int16_t sample : pcm) {
        uint8_t bytes[2] = {uint8_t(uint16_t(sample)), uint8_t(uint16_t(sample) >> 8)};
        songHash.add(bytes, 2);
    }
    print("song", songHash);

    SceneSet scenes;
    SceneFactory factory = showSceneFactory();
    if (factory.construct) factory.construct(&scenes);
    if (ModulePlayer::create(&songDevice, nullptr, songImage, songImageSize) == nullptr || !ModulePlayer::start()) {
        std::fprintf(stderr, "fingerprint: the song cannot be started\n");
        return 1;
    }
    hashScene("title", scenes.title, 1);
    hashScene("cube", scenes.cube, 2);
    hashScene("ring", scenes.ring, 3);
    hashScene("particles", scenes.particleCloud, 5);
    hashScene("credits", scenes.credits, 7);
    ModulePlayer::stop();
    if (factory.destroy) factory.destroy(&scenes);
    freeSineTable();
    TextureTable::release(textures);
    return 0;
}
