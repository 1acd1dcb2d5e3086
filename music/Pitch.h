#pragma once
#include <cstdint>

// The player's pitch arithmetic. Notes count semitones (1 is C-0, 96 is B-7); a sample's finetune
// moves it in 1/128 semitone steps. A note becomes a period, a period a frequency:
//
//   linear table:  period = LinearTopPeriod - note x PeriodsPerSemitone - finetune / 2,
//                  frequency = MiddleRate x 2^((MiddlePeriod - period) / PeriodsPerOctave)
//   period table:  period = TopNotePeriod x 2^((TopNote - note) / 12), finetune in between,
//                  frequency = PeriodClock / period
//
// Larger periods are lower notes in both.

constexpr int32_t SemitonesPerOctave = 12;
constexpr int32_t FinetuneStepsPerSemitone = 128;

// The linear table: 64 periods a semitone, note 0 at ten octaves of periods.
constexpr int32_t PeriodsPerSemitone = 64;
constexpr int32_t PeriodsPerOctave = SemitonesPerOctave * PeriodsPerSemitone;  // 768
constexpr int32_t LinearTopPeriod = 10 * PeriodsPerOctave;                     // 7680
constexpr int32_t MiddlePeriod = 6 * PeriodsPerOctave;                         // 4608: C-4 with no finetune
constexpr double MiddleRate = 8363.0;                                          // Hz at MiddlePeriod
constexpr int32_t MiddleNote = 4 * SemitonesPerOctave + 1;                     // 49: C-4 as a pattern cell writes it

// The period table: eleven octaves up from note 0 the period is 13.375.
constexpr int32_t TopNote = 11 * SemitonesPerOctave;  // 132
constexpr float TopNotePeriod = 13.375f;
constexpr int32_t PeriodClock = 14317056;  // frequency x period, in Hz
