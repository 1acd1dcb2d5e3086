#pragma once
// Tests that need something outside the project (a program, a font) skip where it is missing, with
// the reason. Under CI (CI=true) scripts/setup --tests has installed all of it, so there a missing
// piece is a broken machine and the test fails instead of skipping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool runningUnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Ends the running test for want of something scripts/setup --tests installs: skipped with the
// reason, or failed under CI. Use as a statement: MISSING_PREREQUISITE("xmp is not installed");
#define MISSING_PREREQUISITE(reason)                                                     \
    do {                                                                                 \
        if (runningUnderCi()) {                                                          \
            GTEST_FAIL() << (reason) << " (CI=true: scripts/setup --tests installs it)"; \
        } else {                                                                         \
            GTEST_SKIP() << (reason) << " (scripts/setup --tests installs it)";          \
        }                                                                                \
    } while (0)
