#pragma once
#include <cstdint>
#include <string>

// An audible song position: order index and pattern row.
struct SongPosition {
    int32_t order = 0;
    int32_t row = 0;

    bool operator==(const SongPosition&) const = default;
};

// "ORDER:ROW", as the command line and the --hash lines write it.
inline std::string positionText(SongPosition position) {
    return std::to_string(position.order) + ":" + std::to_string(position.row);
}
