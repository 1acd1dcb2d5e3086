#pragma once

// What the processor offers beyond what the build may assume. On x86 every build assumes SSE2
// (the floor of x86-64 and of both Windows targets), so SSE2 code is chosen when compiling; the
// wider instruction sets are looked up here, once, and the fast paths that use them are chosen
// from the answer. On any other processor (a browser's WebAssembly included) every answer is no.
struct ProcessorFeatures {
    bool avx2 = false;  // 256-bit integer vectors, with the operating system saving their registers

    // The features of the processor running this program, found on the first call.
    static const ProcessorFeatures& current();
};

// Whether AVX2 code can be compiled here at all (GCC or Clang on x86): the files holding AVX2
// routines compile them only then, marking each with INTRO_AVX2_TARGET.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define INTRO_AVX2_CODE 1
#define INTRO_AVX2_TARGET __attribute__((target("avx2")))
#else
#define INTRO_AVX2_CODE 0
#endif
