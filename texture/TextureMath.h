#pragma once

// pi as the texture operations use it: the standard constant in single precision.
constexpr float texturePi = 3.14159265358979323846f;
