#include "scenes/CubeScene.h"

#include <cmath>

#include "core/PortableMath.h"
#include "engine/Bitmap.h"
#include "engine/Matrix4.h"
#include "engine/Viewport.h"
#include "scenes/SceneCaption.h"

namespace {

constexpr float fieldOfView = 90.0f;
constexpr uint32_t backgroundColour = 0x325064;
constexpr uint32_t latticeColour = 0x5A5A5A;
constexpr float spinPerStep = 0.3f;  // degrees per time-step unit

int32_t pointIndex(int32_t i, int32_t j, int32_t k) { return (i * CubeScene::side + j) * CubeScene::side + k; }

void drawCaption(Bitmap* target, const Bitmap* sprite, int32_t column, int32_t row, float opacity) {
    if (sprite) target->drawTextSprite(*sprite, column, row, 0xFFFFFF, opacity);
}

}  // namespace

CubeScene::~CubeScene() {
    delete backdrop;
    delete axisY;
    delete axisX;
    delete label;
    delete viewport;
    delete[] segments;
    delete[] workGrid;
    delete[] restGrid;
}

void CubeScene::buildSegments(Segment* out) {
    int32_t n = 0;
    for (int32_t i = 0; i < side; ++i)
        for (int32_t j = 0; j < side; ++j)
            for (int32_t k = 1; k < side; ++k) out[n++] = {pointIndex(i, j, k - 1), pointIndex(i, j, k)};
    for (int32_t i = 0; i < side; ++i)
        for (int32_t j = 1; j < side; ++j)
            for (int32_t k = 0; k < side; ++k) out[n++] = {pointIndex(i, j - 1, k), pointIndex(i, j, k)};
    for (int32_t i = 1; i < side; ++i)
        for (int32_t j = 0; j < side; ++j)
            for (int32_t k = 0; k < side; ++k) out[n++] = {pointIndex(i - 1, j, k), pointIndex(i, j, k)};
}

void CubeScene::init(Bitmap* target, LoadingStep stepDone) {
    restGrid = new Vector3[pointCount]();
    workGrid = new Vector3[pointCount]();
    for (int32_t i = 0; i < side; ++i)
        for (int32_t j = 0; j < side; ++j)
            for (int32_t k = 0; k < side; ++k)
                restGrid[pointIndex(i, j, k)] = {10.0f * k - 45.0f, 10.0f * j - 45.0f, 10.0f * i - 45.0f};
    segments = new Segment[segmentCount];
    buildSegments(segments);
    viewport = new Viewport;
    viewport->setup(target, fieldOfView);
    label = sceneCaption(boldCaption, 30, "<< this is a cu b  e  ");
    axisX = sceneCaption(boldCaption, 100, "x");
    axisY = sceneCaption(boldCaption, 100, "y");
    backdrop = sceneCaption(boldCaption, 35, "{degenerate coordinatesystem}");
    stepDone();
}

void CubeScene::reset() {
    gridSpin = 0.0f;
    twistPhaseA = 0.0f;
    twistPhaseB = 0.0f;
    twistPhaseC = 0.0f;
}

void CubeScene::render(Bitmap* target, float timeStep, float clockMs) {
    (void)clockMs;
    // The show's time steps are finite; anything else would turn every angle into not a number for
    // the rest of the scene, so it counts as no time passing.
    if (!std::isfinite(timeStep)) timeStep = 0.0f;

    target->fill(backgroundColour);
    drawCaption(target, backdrop, 100, 230, 0.1f);
    drawCaption(target, axisX, 20, 180, 0.2f);
    drawCaption(target, axisY, 420, 60, 0.2f);

    for (int32_t n = 0; n < pointCount; ++n) workGrid[n] = restGrid[n];
    twistPhaseA += timeStep * 0.003f;
    twistPhaseB += timeStep * 0.009f;
    twistPhaseC += timeStep * 0.005f;
    // Each layer i turns by its distance f from the middle: the outer layers most, in opposite
    // senses on the two sides.
    float cosA = portable::cos(twistPhaseA), sinB = portable::sin(twistPhaseB), sinC = portable::sin(twistPhaseC);
    for (int32_t i = 0; i < side; ++i) {
        float f = float(i) - 4.5f;
        TurnAngles turn = TurnAngles::of(7.0f * f * cosA, 4.0f * f * sinB, 12.0f * f * sinC);
        for (int32_t n = i * side * side; n < (i + 1) * side * side; ++n) workGrid[n].reflectTurn(turn);
    }

    gridSpin += timeStep * spinPerStep;
    Matrix4 turn, move, lattice;
    turn.identity();
    turn.rotation(gridSpin, gridSpin, gridSpin);
    move.translation({-20.0f, 20.0f, 130.0f + 20.0f * portable::sin(gridSpin * 0.05f)});
    Matrix4::multiply(turn, move, lattice);  // turned first, then moved
    for (int32_t n = 0; n < pointCount; ++n) workGrid[n] = transformPoint(workGrid[n], lattice);

    for (int32_t n = 0; n < segmentCount; ++n)
        viewport->drawLine(workGrid[segments[n].from], workGrid[segments[n].to], latticeColour, LineMode::Add);

    drawCaption(target, label, 330, 310, 0.9f);
}
