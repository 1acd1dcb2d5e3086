#include "texture/TextureScript.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assets/TextureScript.h"
#include "core/Random.h"
#include "tests/texture/TextureSupport.h"
#include "texture/TextureCombine.h"
#include "texture/TextureFilters.h"
#include "texture/TextureGenerators.h"

namespace {

int refreshes = 0;
void countRefresh() { ++refreshes; }
// Like the loading screen: draws three numbers from the shared sequence after each command.
void countRefreshDrawing() {
    ++refreshes;
    for (int i = 0; i < 3; ++i) rng::rand();
}

TextureTable buildOne(const std::vector<uint8_t>& bytes) {
    TextureScript script{bytes.data(), uint32_t(bytes.size())};
    refreshes = 0;
    return buildTextures(TextureScriptTable{1, &script}, countRefresh);
}

bool sameTexture(const uint32_t* a, const uint32_t* b) {
    return std::memcmp(a, b, texturePixels * sizeof(uint32_t)) == 0;
}

}  // namespace

TEST(TextureScript, ShowScriptRunsThirteenCommandsOnTheNamedOperations) {
    refreshes = 0;
    TextureTable built = buildTextures(textureScriptTable, countRefreshDrawing);
    EXPECT_EQ(refreshes, 13);
    ASSERT_EQ(built.count, 1u);
    ASSERT_NE(built.textures[0], nullptr);

    // The same picture from the operations called by hand with the commands' meanings.
    OwnedLayer layer1, layer2, layer4;
    genFractalColour(layer1.layer, makePixel(204, 106, 9, 1), 1, 25);
    sineWarp(layer1.layer, 1, 1, 4, 10, 0, 0);
    sineWarp(layer1.layer, 1, 2, 4, 5, 0, 0);
    sineWarp(layer1.layer, 1, 4, 8, 1, 0, 0);
    genRandomTiles(layer2.layer, 2, 2, 25, 51, 76, 9);
    blurPasses(layer2.layer, 6);
    multiplyLayers(layer1.layer, layer2.layer, -78 * 0.01f, 4, 3);
    genFractalColour(layer4.layer, makePixel(41, 102, 4, 1), 1, 64);
    sineWarp(layer4.layer, 0, 5, 8, 2, 0, 0);
    sineWarp(layer4.layer, 8, 4, 6, 10, 0, 0);
    sineWarp(layer4.layer, 2, 3, 10, 0, 0, 0);
    sineWarp(layer1.layer, 2, 2, 10, 0, 0, 0);
    mixLayers(layer1.layer, layer4.layer, 50 * 0.01f, 85 * 0.01f, 4, 4);
    packLayer(layer1.layer);
    EXPECT_TRUE(sameTexture(built.textures[0], layer1.layer.packed));
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(built.textures[0][i] >> 24, 0u);

    // The refresh callback's draws do not reach the picture: without it the texture is the same.
    TextureTable quiet = buildTextures(textureScriptTable, nullptr);
    EXPECT_TRUE(sameTexture(built.textures[0], quiet.textures[0]));
    TextureTable::release(quiet);
    TextureTable::release(built);
}

TEST(TextureScript, SkippedCommandsAreConsumedWithoutARefresh) {
    std::vector<uint8_t> bytes = script(
        {
            command(4, 2, {4, 4, 100, 100, 100, 7}),  // tiles on layer 2
            command(20, 2), command(0xff, 2), command(19, 2, {3, 4}), command(0, 0), command(0, 7),
            command(0, 0xff),                                        // clears of layers that do not exist
            command(18, 1, {9}), command(16, 1, {0, 50, 50, 4, 4}),  // sources that do not exist
            command(18, 3, {2}),                                     // copy layer 2 into 3
        },
        3);
    TextureTable built = buildOne(bytes);
    EXPECT_EQ(refreshes, 2);
    ASSERT_NE(built.textures[0], nullptr);
    OwnedLayer tiles;
    genRandomTiles(tiles.layer, 4, 4, 100, 100, 100, 7);
    packLayer(tiles.layer);
    EXPECT_TRUE(sameTexture(built.textures[0], tiles.layer.packed));
    TextureTable::release(built);
}

// What an observer of the commands sees: each command that ran, by its place in the script, with
// the layers as that command left them; the script's output layer number, 0 when it names none.
struct SeenCommand {
    int32_t index;
    int32_t layer;
    uint32_t firstPixel;
};

void recordCommand(int32_t index, const uint8_t* command, const TextureLayer* layers, void* context) {
    int32_t layer = int8_t(command[1]);
    static_cast<std::vector<SeenCommand>*>(context)->push_back({index, layer, layers[layer - 1].image[0]});
}

TEST(TextureScript, CommandObserversSeeEachCommandThatRanAndTheLayersItLeft) {
    std::vector<uint8_t> bytes =
        script({command(4, 2, {4, 4, 100, 100, 100, 7}), command(20, 2), command(18, 3, {2}), command(0, 3)}, 3);
    TextureScript source{bytes.data(), uint32_t(bytes.size())};
    OwnedLayer layers[textureLayerCount];
    TextureLayer plain[textureLayerCount];
    for (int i = 0; i < textureLayerCount; ++i) plain[i] = layers[i].layer;
    std::vector<SeenCommand> seen;
    EXPECT_EQ(runTextureCommands(source, plain, recordCommand, &seen), 3);

    OwnedLayer tiles;
    genRandomTiles(tiles.layer, 4, 4, 100, 100, 100, 7);
    ASSERT_NE(tiles.layer.image[0], 0u);
    ASSERT_EQ(seen.size(), 3u);  // the unknown opcode 20 at index 1 is skipped
    EXPECT_EQ(seen[0].index, 0);
    EXPECT_EQ(seen[0].layer, 2);
    EXPECT_EQ(seen[0].firstPixel, tiles.layer.image[0]);
    EXPECT_EQ(seen[1].index, 2);
    EXPECT_EQ(seen[1].firstPixel, tiles.layer.image[0]);  // the copy, as it stood after the copy
    EXPECT_EQ(seen[2].index, 3);
    EXPECT_EQ(seen[2].firstPixel, 0u);  // then cleared

    std::vector<uint8_t> noOutput = script({command(0, 1)}, 9);
    TextureScript bad{noOutput.data(), uint32_t(noOutput.size())};
    EXPECT_EQ(runTextureCommands(bad, plain, nullptr, nullptr), 0);
}

TEST(TextureScript, LayersCarryOverAndEmptyScriptsStillPack) {
    std::vector<uint8_t> first = script({command(4, 5, {8, 8, 200, 10, 60, 3})}, 5);
    std::vector<uint8_t> second = script({}, 5);
    std::vector<uint8_t> negative = script({}, 5);
    negative[0] = negative[1] = negative[2] = negative[3] = 0xff;  // count -1: nothing runs
    TextureScript scripts[] = {{first.data(), uint32_t(first.size())},
                               {second.data(), uint32_t(second.size())},
                               {negative.data(), uint32_t(negative.size())}};
    refreshes = 0;
    TextureTable built = buildTextures(TextureScriptTable{3, scripts}, countRefresh);
    EXPECT_EQ(refreshes, 1);
    ASSERT_EQ(built.count, 3u);
    for (int i = 0; i < 3; ++i) ASSERT_NE(built.textures[i], nullptr);
    EXPECT_TRUE(sameTexture(built.textures[0], built.textures[1]));
    EXPECT_TRUE(sameTexture(built.textures[0], built.textures[2]));
    EXPECT_NE(built.textures[0], built.textures[1]);  // separate blocks
    TextureTable::release(built);

    // Before any command, the layers are black.
    TextureTable blank = buildOne(script({}, 6));
    ASSERT_NE(blank.textures[0], nullptr);
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(blank.textures[0][i], 0u);
    TextureTable::release(blank);
}

TEST(TextureScript, ShortOrBadScriptsReadNothingBeyondTheirBytes) {
    std::vector<uint8_t> full = script({command(0, 1), command(6, 1, {5}), command(9, 1)}, 1);
    struct Case {
        size_t keep;
        int refreshes;
    } cases[] = {{0, 0}, {3, 0}, {4 + 10 + 5, 1}, {4 + 20, 2}, {4 + 30 + 3, 3}};
    for (const Case& c : cases) {
        // A copy of exactly the kept bytes, so ASan sees any read past them.
        std::vector<uint8_t> cut(full.begin(), full.begin() + long(c.keep));
        TextureTable built = buildOne(cut);
        EXPECT_EQ(refreshes, c.refreshes) << c.keep;
        EXPECT_EQ(built.textures[0], nullptr) << c.keep;
        TextureTable::release(built);
    }
    // A count far beyond the bytes stops at the last whole command.
    std::vector<uint8_t> greedy = full;
    greedy[3] = 0x7f;
    TextureTable built = buildOne(greedy);
    EXPECT_EQ(refreshes, 3);  // the 4 bytes after the third command are not a whole command
    EXPECT_EQ(built.textures[0], nullptr);
    TextureTable::release(built);
    for (int32_t output : {0, 7, -1, 256}) {
        TextureTable bad = buildOne(script({command(0, 1)}, output));
        EXPECT_EQ(refreshes, 1);
        EXPECT_EQ(bad.textures[0], nullptr) << output;
        TextureTable::release(bad);
    }
}

TEST(TextureScript, GeneratorsStartFromAZeroedImage) {
    TextureLayer layers[textureLayerCount];
    for (TextureLayer& layer : layers) {
        layer = TextureLayer::allocate();
        fillNoise(layer, 77);
    }
    std::vector<uint8_t> plasma = command(1, 2, {200, 100, 50, 3, 4});
    std::vector<uint8_t> fractal = command(3, 3, {10, 20, 30, 2, 8});
    EXPECT_TRUE(runTextureCommand(plasma.data(), layers));
    EXPECT_TRUE(runTextureCommand(fractal.data(), layers));
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(layers[1].image[i] >> 24, 0u) << i;
    EXPECT_EQ(layers[2].image[0], makePixel(10, 20, 30, 2));  // p4 is the spare byte and the roughness
    for (int i = 1; i < texturePixels; ++i) ASSERT_EQ(layers[2].image[i] >> 24, 0u) << i;
    OwnedLayer expected;
    genFractalColour(expected.layer, makePixel(10, 20, 30, 2), 2, 8);
    EXPECT_EQ(std::memcmp(expected.layer.image, layers[2].image, texturePixels * 4), 0);
    for (TextureLayer& layer : layers) TextureLayer::release(layer);
}
