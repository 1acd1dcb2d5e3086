#include "scenes/RingScene.h"

#include <cmath>
#include <numbers>

#include "core/PortableMath.h"
#include "engine/Bitmap.h"
#include "engine/Draw2D.h"
#include "engine/Matrix4.h"
#include "engine/Rounding.h"
#include "engine/SineTable.h"
#include "scenes/SceneCaption.h"

namespace {

constexpr uint32_t backgroundColour = 0x5A2846;
constexpr float twoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float viewDistance = 900.0f;       // added to every point's z
constexpr float screenScale = 256.0f;        // perspective: screen offset = coordinate * 256 / z
constexpr float depthFade = 0.00058823527f;  // 1 / 1700

// A table walker: a 16.16 fixed-point phase whose upper 16 bits index the sine table. A walker
// that reaches a whole turn drops one turn after its step.
struct Walker {
    int32_t phase;
    int32_t step;

    float sine() const { return sineTable[(phase >> 16) & sineTableMask]; }
    float cosine() const { return sineTable[((phase >> 16) + sineQuarterTurn) & sineTableMask]; }
    void advance() {
        phase += step;
        if (phase >= sineTurnPhase) phase -= sineTurnPhase;
    }
};

constexpr float tableTurn = float(sineTableSize);  // table entries in one turn

// Subtracts one turn from a phase that has reached it, as each frame does. A single step of more
// than a turn (only after a long stall) leaves the phase above a turn; it is then reduced whole.
void wrapOnce(float& phase, float turn) {
    if (phase >= turn) phase -= turn;
    if (phase >= turn) phase = std::fmod(phase, turn);
}

// A start index into the table, taken back by one table length if it has run past it.
float reducedIndex(float index) { return index >= tableTurn ? index - tableTurn : index; }

}  // namespace

RingScene::~RingScene() {
    delete letter;
    delete label;
}

uint32_t RingScene::pointColour(float k) {
    if (!(k >= 0.0f)) k = 0.0f;
    if (k > 2.0f) k = 2.0f;
    uint32_t red = uint32_t(std::floor(40.0f * k));
    uint32_t green = uint32_t(std::floor(86.0f * k));
    uint32_t blue = uint32_t(std::floor(100.0f * k));
    return (red << 16) | (green << 8) | blue;
}

void RingScene::init(Bitmap* target, LoadingStep stepDone) {
    (void)target;
    label = sceneCaption(ringLabel, 35, "drovel:ringv2.501");
    letter = sceneCaption(ringLetter, 220, "r");
    stepDone();
}

void RingScene::reset() {
    colourPhase = 0.0f;
    sizePhase = 0.0f;
    spin = 230.0f;
    phaseA = 2.14f;
    phaseB = 5.6f;
}

RingScene::Point RingScene::project(Vector3 p, Point previous, float centreX, float centreY) {
    if (!(p.z > 0.0f)) return previous;
    return {p.x * screenScale / p.z + centreX, p.y * screenScale / p.z + centreY, previous.colour};
}

int32_t RingScene::traceRing(Point* points, float r, float centreX, float centreY, float timeStep) {
    // Below 40 points the coil walker would step more than a turn at a time and leave 16.16.
    if (!(r >= 40.0f)) r = 40.0f;
    if (r > float(maxPoints)) r = float(maxPoints);
    float coilStart = reducedIndex((portable::sin(phaseA) + 1.0f) * 4095.0f);
    float wobbleStart = reducedIndex((portable::sin(phaseB) + 1.0f) * 2048.0f + 2048.0f);

    // Turns per ring: w0 and w3 one, w1 forty (the fine coil), w2 three.
    Walker w0{0, toFixed16(tableTurn / r)};
    Walker w1{0, toFixed16(tableTurn / (r * 0.025f))};
    Walker w2{toFixed16(coilStart), toFixed16(tableTurn / (r * 0.33333334f))};
    Walker w3{toFixed16(wobbleStart), toFixed16(tableTurn / r)};

    Matrix4 turn;
    turn.identity();
    turn.rotation(spin, spin, 0.0f);

    // A point at or behind the eye keeps the previous screen point (the centre before any).
    Point previous{centreX, centreY, 0};
    int32_t n = 0;
    for (; float(n) < r && n < maxPoints; ++n) {
        float sin0 = w0.sine(), cos0 = w0.cosine();
        float sin1 = w1.sine(), cos1 = w1.cosine();
        float cos2 = w2.cosine();
        float sin3 = w3.sine(), cos3 = w3.cosine();
        w0.advance(), w1.advance(), w2.advance(), w3.advance();

        // The curve's coefficients are the ring's own artwork: each is the shape, not a quantity
        // with a meaning of its own.
        float m = cos1 * (cos2 + 2.2f);
        Vector3 p = {cos0 * (80.0f * m + 300.0f) + 100.0f * sin3, sin0 * (60.0f * m + 300.0f) + 70.0f * cos3,
                     80.0f * sin1 * (cos2 + 2.0f) + 50.0f * cos3 + 20.0f * sin3};
        p = transformPoint(p, turn);
        p.z += viewDistance;
        points[n] = project(p, previous, centreX, centreY);

        float depth = (2000.0f - p.z) * depthFade;
        float b = depth * depth;
        if (b > 1.0f) b = 1.0f;
        float k = b * (1.5f + 0.5f * portable::sin(colourPhase * 0.01f));
        colourPhase += timeStep * 0.5f;
        points[n].colour = pointColour(k);
        previous = points[n];
    }
    return n;
}

void RingScene::render(Bitmap* target, float timeStep, float clockMs) {
    (void)clockMs;
    // The show's time steps are finite; anything else would turn every phase into not a number for
    // the rest of the scene, so it counts as no time passing.
    if (!std::isfinite(timeStep)) timeStep = 0.0f;

    spin += timeStep * 0.15f;
    phaseA += timeStep * 0.009f;
    phaseB += timeStep * 0.0097f;
    wrapOnce(spin, 360.0f);
    wrapOnce(phaseA, twoPi);
    wrapOnce(phaseB, twoPi);

    target->fill(backgroundColour);
    if (letter) target->drawTextSprite(*letter, 400, 170, 0xFFFFFF, 0.1f);

    float r = 240.0f - 200.0f * portable::cos(sizePhase);
    sizePhase += timeStep * 0.0015f;
    Point points[maxPoints];
    int32_t count = traceRing(points, r, float(target->width) * 0.5f, float(target->height) * 0.5f, timeStep);
    for (int32_t n = 1; n < count; ++n)
        drawLine2D(*target, points[n - 1].x, points[n - 1].y, points[n].x, points[n].y, points[n].colour,
                   LineMode::Add);
    if (count > 1) {
        const Point& last = points[count - 1];
        drawLine2D(*target, last.x, last.y, points[0].x, points[0].y, last.colour, LineMode::Add);
    }

    if (label) target->drawTextSprite(*label, 190, 350, 0xFFFFFF, 0.9f);
}
