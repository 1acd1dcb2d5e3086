// Frame-sized loads of the rendering engine on one core, next to this machine's memset/memcpy
// bandwidth for a 640 x 480 frame (1.2 MB), which bounds the full-frame operations.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/Random.h"
#include "engine/Bitmap.h"
#include "engine/CameraPose.h"
#include "engine/Draw2D.h"
#include "engine/Mesh.h"
#include "engine/Raster.h"
#include "engine/Viewport.h"

namespace {

constexpr int32_t frameWidth = 640, frameHeight = 480;
constexpr size_t frameBytes = size_t(frameWidth) * frameHeight * 4;

float randomIn(float low, float high) { return low + (high - low) * float(rng::rand()) / 32768.0f; }

void fillRandom(Bitmap& bitmap, uint32_t seed) {
    rng::srand(seed);
    for (int32_t i = 0; i < bitmap.pixelCount(); ++i) bitmap.pixels[i] = uint32_t(rng::rand()) * 0x20001u;
}

void BM_Memset(benchmark::State& state) {
    std::vector<uint8_t> frame(frameBytes);
    for (auto _ : state) {
        std::memset(frame.data(), int(state.iterations() & 255), frameBytes);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frameBytes));
}
BENCHMARK(BM_Memset);

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> from(frameBytes, 1), to(frameBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), frameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frameBytes));
}
BENCHMARK(BM_Memcpy);

// Argument 0: black (one repeated byte); 1: a scene colour (four different bytes).
void BM_BitmapFill(benchmark::State& state) {
    Bitmap frame(frameWidth, frameHeight);
    uint32_t colour = state.range(0) ? 0x5A2846 : 0;
    for (auto _ : state) {
        frame.fill(colour);
        benchmark::DoNotOptimize(frame.pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frameBytes));
}
BENCHMARK(BM_BitmapFill)->Arg(0)->Arg(1);

// The particle scene's smear: centre (320, 240), scale 0.04, amount 0.4.
template <void (*smear)(Bitmap&, int32_t, int32_t, float, float)>
void BM_RadialSmear(benchmark::State& state) {
    Bitmap frame(frameWidth, frameHeight);
    fillRandom(frame, 1);
    for (auto _ : state) {
        smear(frame, 320, 240, 0.04f, 0.4f);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frameBytes));
}
BENCHMARK(BM_RadialSmear<radialSmear>)->Name("BM_RadialSmear/packed");
BENCHMARK(BM_RadialSmear<radialSmearPlain>)->Name("BM_RadialSmear/plain");

// The particle scene's load: 2000 glow sprites (50 x 50 image) of about 9 x 9 pixels.
template <void (*blit)(Bitmap&, const Bitmap&, float, float, float, float, float, float, float, float)>
void BM_GlowSprites(benchmark::State& state) {
    Bitmap frame(frameWidth, frameHeight), glow(50, 50);
    radialGlow(glow);
    frame.fill(0);
    rng::srand(2);
    std::vector<float> positions;
    for (int i = 0; i < 2000; ++i) {
        positions.push_back(randomIn(5, 620));
        positions.push_back(randomIn(5, 460));
        positions.push_back(randomIn(8.5f, 10.0f));
    }
    for (auto _ : state) {
        for (size_t i = 0; i < positions.size(); i += 3)
            blit(frame, glow, positions[i], positions[i + 1], positions[i + 2], positions[i + 2], 0, 0, 1, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2000);
}
BENCHMARK(BM_GlowSprites<blitScaledAdd>)->Name("BM_GlowSprites2000/packed");
BENCHMARK(BM_GlowSprites<blitScaledAddPlain>)->Name("BM_GlowSprites2000/plain");

// Fill rate on two large triangles covering the frame; items are pixels.
void BM_RasterFillRate(benchmark::State& state) {
    int32_t mode = int32_t(state.range(0));
    Bitmap frame(frameWidth, frameHeight);
    frame.fill(0);
    std::vector<int32_t> depth(size_t(frame.pixelCount()), depthCleared);
    std::vector<uint32_t> texels(65536);
    for (uint32_t i = 0; i < 65536; ++i) texels[i] = i * 2654435761u;
    auto triangle = [&](float x0, float y0, float x1, float y1, float x2, float y2) {
        RasterTriangle t;
        t.x0 = x0, t.y0 = y0, t.x1 = x1, t.y1 = y1, t.x2 = x2, t.y2 = y2;
        t.z0 = t.z1 = t.z2 = 2;
        t.u0 = 0, t.u1 = 1, t.u2 = 0.3f, t.v0 = 0, t.v1 = 0.2f, t.v2 = 1;
        t.colour = 0x336699;
        t.texture = texels.data();
        return t;
    };
    const RasterTriangle a = triangle(0, 0, 640, 0, 0, 480), b = triangle(640, 0, 640, 480, 0, 480);
    for (auto _ : state) {
        RasterTriangle ta = a, tb = b;
        rasterizeTriangle(frame, depth.data(), ta, mode);
        rasterizeTriangle(frame, depth.data(), tb, mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * frame.pixelCount());
}
BENCHMARK(BM_RasterFillRate)->Arg(1)->Arg(2)->Arg(3)->Arg(5);

// A title-scene-sized frame: a 324-face ring of small faces, shaded, transformed and drawn in
// the depth-tested mode with outlines, after clearing the depth buffer.
void BM_TitleMeshFrame(benchmark::State& state) {
    const int rings = 18, segments = 9;  // 18 x 9 quads = 324 triangles
    Mesh mesh;
    mesh.allocate(rings * segments * 2, rings * segments);
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            float a = float(i) * 6.2831853f / rings, b = float(j) * 6.2831853f / segments;
            float r = 30 + 10 * std::cos(b);
            mesh.vertices[i * segments + j] = {r * std::cos(a), 10 * std::sin(b), r * std::sin(a)};
        }
    int f = 0;
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            int p = i * segments + j, q = ((i + 1) % rings) * segments + j;
            int p1 = i * segments + (j + 1) % segments, q1 = ((i + 1) % rings) * segments + (j + 1) % segments;
            mesh.faces[f].v0 = p, mesh.faces[f].v1 = q, mesh.faces[f].v2 = q1, ++f;
            mesh.faces[f].v0 = p, mesh.faces[f].v1 = q1, mesh.faces[f].v2 = p1, ++f;
        }
    mesh.computeFaceNormals();
    mesh.setMaterial(rasterSolidDepth, 0xC0C0C0, nullptr);
    Bitmap frame(frameWidth, frameHeight);
    Viewport view;
    view.setup(&frame, 70);
    CameraPose pose;
    pose.position = {0, 40, -90};
    Matrix4 camera;
    pose.viewMatrix(camera);
    float spin = 0;
    for (auto _ : state) {
        frame.fill(0xFFFFFFFF);
        view.clearDepth();
        mesh.matrix.rotation(spin, spin * 0.5f, 0);
        spin += 1;
        mesh.shade(pose.position);
        mesh.transform(camera);
        mesh.draw(view);
        benchmark::ClobberMemory();
    }
    mesh.destroy();
}
BENCHMARK(BM_TitleMeshFrame)->Unit(benchmark::kMicrosecond);

// The cube scene's load: 2700 additive segments of about 10 pixels.
void BM_Lines2700(benchmark::State& state) {
    Bitmap frame(frameWidth, frameHeight);
    frame.fill(0);
    rng::srand(3);
    std::vector<float> ends;
    for (int i = 0; i < 2700; ++i) {
        float x = randomIn(10, 620), y = randomIn(10, 460), angle = randomIn(0, 6.2831853f);
        ends.insert(ends.end(), {x, y, x + 10 * std::cos(angle), y + 10 * std::sin(angle)});
    }
    for (auto _ : state) {
        for (size_t i = 0; i < ends.size(); i += 4)
            drawLine2D(frame, ends[i], ends[i + 1], ends[i + 2], ends[i + 3], 0x5A5A5A, LineMode::Add);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2700);
}
BENCHMARK(BM_Lines2700);

}  // namespace

BENCHMARK_MAIN();
