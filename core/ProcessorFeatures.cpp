#include "core/ProcessorFeatures.h"

namespace {

ProcessorFeatures detect() {
    ProcessorFeatures features;
#if INTRO_AVX2_CODE
    __builtin_cpu_init();
    // The compiler's check also asks the operating system whether it saves the 256-bit registers.
    features.avx2 = __builtin_cpu_supports("avx2");
#endif
    return features;
}

}  // namespace

const ProcessorFeatures& ProcessorFeatures::current() {
    static const ProcessorFeatures features = detect();
    return features;
}
