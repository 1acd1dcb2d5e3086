// tourpictures: draws the pictures of the tour (docs/tour.md) with the show's own code, as PNG files
// in OUTDIR:
//   texture-steps.png    the loading screen's texture after each command of its script, then the
//                        texture itself, as 128 x 128 thumbnails in script order
//   loading.png          the loading screen after the last texture command
//   cloud-1-glows.png    one frame of the particle cloud: its 2000 glows added into a black frame,
//   cloud-2-trails.png   then smeared outward into light trails,
//   cloud-3-caption.png  then its caption blended in (the Framebuffer as the show presents it),
//   cloud-4-screen16.png then as a 16-bit (5-6-5) screen holds it, widened again to show it
//   title-flight.png     the title object's camera flight, from above and from the side: the
//                        star's rim, the whole path, the part the show plays and where it looks
//
//   tourpictures OUTDIR
//
// The start-up runs as in the show (textures, loading steps, the title's and the particle cloud's
// initialisation, in that order), so the particles stand where they stand in the show. Captions
// come from FreeType; without a font they stay blank. Exits 1 with one line on stderr when a file
// cannot be written.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/ObjectBlock.h"
#include "assets/TextureScript.h"
#include "core/Random.h"
#include "display/PixelConverter.h"
#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/Draw2D.h"
#include "engine/ObjectScene.h"
#include "engine/SineTable.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/ParticleCloudScene.h"
#include "scenes/TitleScene.h"
#include "show/Framebuffer.h"
#include "show/LoadingScreen.h"
#include "texture/TextureScript.h"
#include "tools/common/PngWriter.h"

namespace {

std::string outputFolder;
bool allWritten = true;

void writePicture(const char* name, const Bitmap& picture) {
    std::string error;
    if (writePng(outputFolder + "/" + name, picture.pixels, picture.width, picture.height, 1, &error)) return;
    std::fprintf(stderr, "tourpictures: %s\n", error.c_str());
    allWritten = false;
}

// ---- The texture, command by command ----------------------------------------------------------

constexpr int32_t thumbSize = 128;
constexpr int32_t sheetGap = 8;
constexpr int32_t sheetColumns = 4;
constexpr uint32_t sheetBackground = 0x202020;

// Places the 256 x 256 layer image (red in the low byte) at thumbnail slot `slot`, each thumbnail
// pixel the mean of a 2 x 2 block.
void placeThumbnail(Bitmap& sheet, int32_t slot, const uint32_t* image, bool imageWords) {
    int32_t left = sheetGap + (slot % sheetColumns) * (thumbSize + sheetGap);
    int32_t top = sheetGap + (slot / sheetColumns) * (thumbSize + sheetGap);
    for (int32_t y = 0; y < thumbSize; ++y)
        for (int32_t x = 0; x < thumbSize; ++x) {
            uint32_t sum[3] = {0, 0, 0};
            for (int32_t dy = 0; dy < 2; ++dy)
                for (int32_t dx = 0; dx < 2; ++dx) {
                    uint32_t word = image[(2 * y + dy) * textureSize + 2 * x + dx];
                    for (int32_t c = 0; c < 3; ++c)  // red, green, blue
                        sum[c] += imageWords ? pixelChannel(word, c) : (word >> (16 - 8 * c)) & 255;
                }
            sheet.pixels[(top + y) * sheet.width + left + x] = (sum[0] / 4) << 16 | (sum[1] / 4) << 8 | sum[2] / 4;
        }
}

void thumbnailStep(int32_t index, const uint8_t* command, const TextureLayer* layers, void* sheet) {
    placeThumbnail(*static_cast<Bitmap*>(sheet), index, layers[int8_t(command[1]) - 1].image, true);
}

// The loading screen's step as the show takes it, without presenting: it draws three numbers from
// the shared sequence, which the particle cloud's points depend on.
void loadingStep() { LoadingScreen::draw(&framebuffer); }

void drawTextureSteps() {
    const TextureScript& script = textureScriptTable.scripts[0];
    int32_t commands = int32_t(script.bytes[0] | script.bytes[1] << 8 | script.bytes[2] << 16 | script.bytes[3] << 24);
    int32_t rows = (commands + 1 + sheetColumns - 1) / sheetColumns;
    Bitmap sheet(sheetGap + sheetColumns * (thumbSize + sheetGap), sheetGap + rows * (thumbSize + sheetGap));
    sheet.fill(sheetBackground);
    TextureLayer layers[textureLayerCount];
    for (TextureLayer& layer : layers) layer = TextureLayer::allocate();
    runTextureCommands(script, layers, thumbnailStep, &sheet);
    for (TextureLayer& layer : layers) TextureLayer::release(layer);

    // The texture itself, as the show builds it: from the sequence's first state (the generators
    // seed it, the loading steps draw their lights from it).
    rng::srand(1);
    TextureTable built = buildTextures(textureScriptTable, loadingStep);
    placeThumbnail(sheet, commands, built.textures[0], false);
    TextureTable::release(built);
    writePicture("texture-steps.png", sheet);
    writePicture("loading.png", framebuffer);
}

// ---- One frame of the particle cloud, step by step -------------------------------------------

constexpr int32_t cloudFramesBefore = 64;  // about 1.3 s into the scene, the cloud at its widest
constexpr float cloudTimeStep = 1.2f;      // one 20 ms audio block of song time

// A 16-bit 5-6-5 screen's picture, each channel widened back to 8 bits (its top bits repeated).
Bitmap asScreen16(const Bitmap& frame) {
    Bitmap shown(frame.width, frame.height);
    std::vector<uint8_t> row(size_t(frame.width) * 2);
    for (int32_t y = 0; y < frame.height; ++y) {
        convertRGB565(frame.pixels + y * frame.width, row.data(), frame.width);
        for (int32_t x = 0; x < frame.width; ++x) {
            uint32_t value = uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8;
            uint32_t red = value >> 11, green = (value >> 5) & 63, blue = value & 31;
            shown.pixels[y * frame.width + x] =
                (red << 3 | red >> 2) << 16 | (green << 2 | green >> 4) << 8 | (blue << 3 | blue >> 2);
        }
    }
    return shown;
}

void drawCloudFrame(ParticleCloudScene& cloud) {
    cloud.reset();
    for (int32_t i = 0; i < cloudFramesBefore; ++i) cloud.render(&framebuffer, cloudTimeStep, 0.0f);
    framebuffer.fill(0);
    cloud.advance(cloudTimeStep);
    cloud.drawGlows();
    writePicture("cloud-1-glows.png", framebuffer);
    cloud.smearTrails(&framebuffer);
    writePicture("cloud-2-trails.png", framebuffer);
    cloud.drawCaption(&framebuffer);
    writePicture("cloud-3-caption.png", framebuffer);
    writePicture("cloud-4-screen16.png", asScreen16(framebuffer));
}

// ---- The title's camera flight -------------------------------------------------------------

// One panel of the flight picture: world points projected onto two axes (a picture axis that runs
// down takes the world coordinate negated), scaled to fit the panel with a margin.
struct FlightPanel {
    int32_t left = 0, width = 480, height = 480;
    int32_t across = 0, down = 2;  // world axes (0 x, 1 y, 2 z) along the picture's x and y
    bool flipDown = true;          // the picture's y runs against the world axis
    float scale = 1.0f, middleA = 0.0f, middleD = 0.0f;

    float a(const Vector3& p) const { return across == 0 ? p.x : (across == 1 ? p.y : p.z); }
    float d(const Vector3& p) const {
        float v = down == 0 ? p.x : (down == 1 ? p.y : p.z);
        return flipDown ? -v : v;
    }
    // Fits the panel around every point.
    void fit(const std::vector<Vector3>& points) {
        float lowA = 1e30f, highA = -1e30f, lowD = 1e30f, highD = -1e30f;
        for (const Vector3& p : points) {
            lowA = std::min(lowA, a(p)), highA = std::max(highA, a(p));
            lowD = std::min(lowD, d(p)), highD = std::max(highD, d(p));
        }
        scale = 0.9f * std::min(float(width) / (highA - lowA), float(height) / (highD - lowD));
        middleA = (lowA + highA) * 0.5f, middleD = (lowD + highD) * 0.5f;
    }
    float x(const Vector3& p) const { return float(left) + float(width) * 0.5f + (a(p) - middleA) * scale; }
    float y(const Vector3& p) const { return float(height) * 0.5f + (d(p) - middleD) * scale; }
};

void line(Bitmap& picture, const FlightPanel& panel, const Vector3& from, const Vector3& to, uint32_t colour) {
    drawLine2D(picture, panel.x(from), panel.y(from), panel.x(to), panel.y(to), colour, LineMode::Blend);
}

void dot(Bitmap& picture, const FlightPanel& panel, const Vector3& p, uint32_t colour) {
    for (float dx : {-1.0f, 0.0f, 1.0f})
        for (float dy : {-1.0f, 0.0f, 1.0f}) plotPointBlend(picture, panel.x(p) + dx, panel.y(p) + dy, colour);
}

constexpr int32_t rimMarker = 3;      // meshes: the emblem, then the markers flight, aim, rim, ...
constexpr float shownFrames = 90.0f;  // the part of the flight the show plays
constexpr float framesPerSecond = 9.0f;
constexpr uint32_t rimColour = 0x202020, pathColour = 0xA0A0A0, shownColour = 0x2050D0, aimColour = 0xD03020,
                   sightColour = 0xE0A040;

// The star's rim, the whole flight in grey, the part the show plays in blue with a dot a second,
// where the camera aims in red, and every second a line from the camera to that point.
void drawFlightPanel(Bitmap& picture, const FlightPanel& panel, const ObjectScene& scene) {
    const Mesh& rim = scene.meshes[rimMarker].mesh;
    int32_t rimPoints = rim.vertexCount - 1;  // the marker's last point is the star's centre
    for (int32_t i = 0; i < rimPoints; ++i)
        line(picture, panel, rim.vertices[i], rim.vertices[(i + 1) % rimPoints], rimColour);
    const ObjectCamera& camera = scene.cameras[0];
    for (float t = 0.0f; t < float(scene.frameCount); t += 0.5f) {
        bool shown = t < shownFrames;
        line(picture, panel, camera.position.evaluate(t), camera.position.evaluate(t + 0.5f),
             shown ? shownColour : pathColour);
        if (shown) line(picture, panel, camera.target.evaluate(t), camera.target.evaluate(t + 0.5f), aimColour);
    }
    for (float t = 0.0f; t <= shownFrames; t += framesPerSecond) {
        line(picture, panel, camera.position.evaluate(t), camera.target.evaluate(t), sightColour);
        dot(picture, panel, camera.position.evaluate(t), shownColour);
    }
}

void drawTitleFlight() {
    ObjectScene scene;
    scene.load(objectBlock);
    // Both panels fit what they draw, at one scale.
    std::vector<Vector3> points;
    for (float t = 0.0f; t <= float(scene.frameCount); t += 1.0f)
        points.push_back(scene.cameras[0].position.evaluate(t));
    for (float t = 0.0f; t <= shownFrames; t += 1.0f) points.push_back(scene.cameras[0].target.evaluate(t));
    const Mesh& rim = scene.meshes[rimMarker].mesh;
    points.insert(points.end(), rim.vertices, rim.vertices + rim.vertexCount);

    // From above, looking down the y axis onto the star (+z up the picture), and from the side,
    // looking along z (-y, which the title shows as up, up the picture).
    FlightPanel above, side;
    above.left = 0, above.across = 0, above.down = 2, above.flipDown = true;
    side.left = 480, side.across = 0, side.down = 1, side.flipDown = false;
    above.fit(points), side.fit(points);
    side.scale = above.scale = std::min(above.scale, side.scale);
    Bitmap picture(960, 480);
    picture.fill(0xFFFFFF);
    drawLine2D(picture, 480.0f, 0.0f, 480.0f, 480.0f, 0xC0C0C0, LineMode::Blend);
    drawFlightPanel(picture, above, scene);
    drawFlightPanel(picture, side, scene);
    scene.release();
    writePicture("title-flight.png", picture);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tourpictures OUTDIR\n");
        return 2;
    }
    outputFolder = argv[1];
    FreeTypeFontEngine fonts;
    useFontEngine(fonts.open() ? &fonts : nullptr);

    // The show's start-up, in its order, up to the particle cloud.
    LoadingScreen::caption = createTextSprite(0, 20, 0, "loading, please wait", 5, 500);
    drawTextureSteps();
    buildSineTable();
    TitleScene title;
    title.init(&framebuffer, loadingStep);
    ParticleCloudScene cloud;
    cloud.init(&framebuffer, loadingStep);

    drawCloudFrame(cloud);
    drawTitleFlight();

    freeSineTable();
    delete LoadingScreen::caption;
    LoadingScreen::caption = nullptr;
    useFontEngine(nullptr);
    return allWritten ? 0 : 1;
}
