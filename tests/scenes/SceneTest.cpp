#include "scenes/Scene.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Bitmap.h"

namespace {

struct RecordingScene : Scene {
    std::vector<std::string> calls;
    std::vector<float> steps;
    void init(Bitmap*, LoadingStep) override { calls.push_back("init"); }
    void reset() override { calls.push_back("reset"); }
    void render(Bitmap*, float timeStep, float clockMs) override {
        calls.push_back("render");
        steps.push_back(timeStep);
        steps.push_back(clockMs);
    }
};

}  // namespace

TEST(Scene, ResetRunsOnceImmediatelyBeforeTheFirstRender) {
    Bitmap target(8, 8);
    RecordingScene scene;
    EXPECT_TRUE(scene.needsReset);
    scene.init(&target, [] {});
    EXPECT_EQ(scene.calls, (std::vector<std::string>{"init"}));  // init does not reset

    scene.renderFrame(&target, 0.0f, 0.0f);
    scene.renderFrame(&target, 1.5f, 40.0f);
    scene.renderFrame(&target, 0.0f, 40.0f);
    EXPECT_EQ(scene.calls, (std::vector<std::string>{"init", "reset", "render", "render", "render"}));
    EXPECT_FALSE(scene.needsReset);
    // The arguments reach render unchanged.
    EXPECT_EQ(scene.steps, (std::vector<float>{0.0f, 0.0f, 1.5f, 40.0f, 0.0f, 40.0f}));
}
