#include "scenes/ParticleCloudScene.h"

#include <algorithm>
#include <cmath>

#include "core/PortableMath.h"
#include "core/Random.h"
#include "engine/Bitmap.h"
#include "engine/Draw2D.h"
#include "engine/Matrix4.h"
#include "engine/Viewport.h"
#include "music/ModulePlayer.h"
#include "scenes/SceneCaption.h"

namespace {

constexpr float fieldOfView = 90.0f;
constexpr int32_t glowSize = 50;
constexpr float spriteSize = 20.0f;     // edge of each glow's square, in camera units
constexpr float viewDistance = 700.0f;  // added to every point's camera z
constexpr float turnPerStep = 0.1f;     // degrees per time-step unit, for tumble and spinOffset
constexpr float pulsePerStep = 0.02f;   // radians per time-step unit
constexpr float swingDepth = 250.0f;
constexpr float smearScale = 0.04f;
constexpr float smearAmount = 0.4f;
constexpr int32_t captionColumn = 200;
constexpr int32_t captionRow = 300;
constexpr float captionOpacity = 0.8f;
constexpr int32_t caresFromRow = 32;  // of order 6
constexpr int32_t patternRows = 64;

// A whole coordinate from -1000 to 999.
float randomCoordinate() { return float(rng::rand() % 2000) - 1000.0f; }

}  // namespace

ParticleCloudScene::~ParticleCloudScene() {
    delete caresCaption;
    delete longerCaption;
    delete groupCaption;
    delete[] points;
    delete glowSprite;
    delete viewport;
}

void ParticleCloudScene::init(Bitmap* target, LoadingStep stepDone) {
    viewport = new Viewport;
    viewport->setup(target, fieldOfView);
    glowSprite = new Bitmap(glowSize, glowSize);
    radialGlow(*glowSprite);
    points = new Vector3[pointCount];
    for (int32_t i = 0; i < pointCount; ++i) {
        // Three separate statements: x, y and z are drawn in that order.
        points[i].x = randomCoordinate();
        points[i].y = randomCoordinate();
        points[i].z = randomCoordinate();
    }
    groupCaption = sceneCaption(boldCaption, 30, "pelmorand::opungeffekt");
    longerCaption = sceneCaption(boldCaption, 25, "this intro could have been longer..");
    caresCaption = sceneCaption(boldCaption, 25, "but who cares?");
    stepDone();
}

void ParticleCloudScene::reset() {
    tumble = 0.0f;
    depthShift = 0.0f;
    pulsePhase = 0.0f;
    spinOffset = 0.0f;
}

void ParticleCloudScene::render(Bitmap* target, float timeStep, float clockMs) {
    (void)clockMs;
    target->fill(0);
    // The show's time steps are finite; anything else would leave the angles not a number for the
    // rest of the scene, so it counts as no time passing.
    advance(std::isfinite(timeStep) ? timeStep : 0.0f);
    drawGlows();
    smearTrails(target);
    drawCaption(target);
}

void ParticleCloudScene::advance(float timeStep) {
    float u = timeStep * turnPerStep;
    tumble += u;
    depthShift = swingDepth * portable::sin(tumble * 0.01f);
    pulsePhase += timeStep * pulsePerStep;
    spinOffset += u;
}

void ParticleCloudScene::drawGlows() const {
    Matrix4 turn, shift, cloud;
    turn.identity();
    turn.rotation(tumble, tumble, -tumble);
    shift.translation({0.0f, 0.0f, depthShift});
    Matrix4::multiply(shift, turn, cloud);  // moved first, then turned
    float s = (portable::sin(pulsePhase) + 1.0f) * 0.4f;

    // Each point turns by its own three angles; their sines and cosines are worked out four
    // points at a time, the points still drawn one after another.
    for (int32_t first = 0; first < pointCount; first += 4) {
        int32_t count = std::min<int32_t>(4, pointCount - first);
        float a[4] = {}, b[4] = {}, c[4] = {};
        for (int32_t k = 0; k < count; ++k) {
            float fi = float(first + k);
            a[k] = fi * 0.2f + spinOffset;
            b[k] = fi * 0.01f + spinOffset;
            c[k] = fi + spinOffset;
        }
        TurnAngles turns[4];
        TurnAngles::ofFour(a, b, c, turns);
        for (int32_t k = 0; k < count; ++k) {
            const Vector3& point = points[first + k];
            Vector3 p = {point.x * s, point.y * s, point.z * s};
            p.rotateStepwise(turns[k]);
            p = transformPoint(p, cloud);
            p.z += viewDistance;
            viewport->drawSprite(*glowSprite, p, spriteSize);
        }
    }
}

void ParticleCloudScene::smearTrails(Bitmap* target) const {
    radialSmear(*target, target->width / 2, target->height / 2, smearScale, smearAmount);
}

void ParticleCloudScene::drawCaption(Bitmap* target) const {
    int32_t order = ModulePlayer::currentOrder();
    const Bitmap* shown = nullptr;
    if (order < 6) {
        shown = groupCaption;
    } else if (order == 6) {
        int32_t row = ModulePlayer::currentRow();
        if (row < caresFromRow)
            shown = longerCaption;
        else if (row < patternRows)
            shown = caresCaption;
    }
    if (shown) target->drawTextSprite(*shown, captionColumn, captionRow, 0xFFFFFF, captionOpacity);
}
