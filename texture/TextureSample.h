#pragma once
#include <cstdint>

// Bilinear read of a 256 x 256 array of image words at column x, row y (both may be negative
// or past 255; the operations stay within -383..383).
//
// The position is scaled by 65535 (not 65536) into fixed point, and the weights come from its
// low 16 bits, each 0..256 in 8.8 form. The four neighbours sit at columns wrapCoord(trunc(x))
// and wrapCoord(trunc(x) + 1) and rows alike. Every byte of the result, spare byte included, is
// the saturating sum (at 255) of neighbour byte * weight >> 8 over the four neighbours.
// So x = 0 returns column 0 as it is, while x = 3.0 returns 255/256 of column 4.
uint32_t sampleWrapped(float x, float y, const uint32_t* pixels);

// sampleWrapped at count positions (xs[i], ys[i]), written to out[i]. Where SSE2 exists four
// positions go at a time: their weights and wrapped corners in vectors, then each read's four
// corners weighted and summed in 16-bit lanes; the results are those of sampleWrapped.
void sampleWrappedSpan(const float* xs, const float* ys, int count, const uint32_t* pixels, uint32_t* out);
// The same along a row: y is shared by every read. A whole-number y puts weight 0 on one of its
// two rows, whose corners then add nothing: those reads take only two corners. (A read is
// symmetric: sampleWrapped(x, y) of an image is sampleWrapped(y, x) of the image transposed, so
// reads along a column are reads along a row of the transposed image.)
void sampleWrappedRow(const float* xs, float y, int count, const uint32_t* pixels, uint32_t* out);

// The two one sampleWrappedScalar call at a time: the references the spans are tested against.
void sampleWrappedSpanScalar(const float* xs, const float* ys, int count, const uint32_t* pixels, uint32_t* out);
void sampleWrappedRowScalar(const float* xs, float y, int count, const uint32_t* pixels, uint32_t* out);

// The portable version, and the SSE2 one where the compiler targets SSE2 (both give the same
// result; sampleWrapped is the SSE2 one when it exists).
uint32_t sampleWrappedScalar(float x, float y, const uint32_t* pixels);
#if defined(__SSE2__)
#define TEXTURE_HAS_SSE2_SAMPLE 1
uint32_t sampleWrappedSse2(float x, float y, const uint32_t* pixels);
#endif
