#include "engine/SineTable.h"

#include <cmath>
#include <numbers>

#include "core/PortableMath.h"

float* sineTable = nullptr;

void buildSineTable() {
    if (sineTable) return;
    sineTable = new float[sineTableSize];
    for (int32_t i = 0; i < sineTableSize; ++i)
        sineTable[i] = static_cast<float>(portable::sin(2.0 * std::numbers::pi * i / sineTableSize));
}

void freeSineTable() {
    delete[] sineTable;
    sineTable = nullptr;
}
