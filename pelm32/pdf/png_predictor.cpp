#include "pelm32/pdf/png_predictor.h"

#include <cstdlib>
#include <vector>

namespace pelm32::pdf {

namespace {

enum Filter : uint8_t { kNone = 0, kSub, kUp, kAverage, kPaeth };

uint8_t Paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) {
        return static_cast<uint8_t>(left);
    }
    return static_cast<uint8_t>(toUp <= toUpLeft ? up : upLeft);
}

// The row filtered one way; previous is all zeros for the first row.
void FilterRow(Filter filter, const uint8_t* row, const uint8_t* previous, size_t length,
               unsigned channels, uint8_t* out) {
    for (size_t i = 0; i < length; ++i) {
        const int left = i >= channels ? row[i - channels] : 0;
        const int up = previous[i];
        const int upLeft = i >= channels ? previous[i - channels] : 0;
        int predicted = 0;
        switch (filter) {
            case kNone:
                break;
            case kSub:
                predicted = left;
                break;
            case kUp:
                predicted = up;
                break;
            case kAverage:
                predicted = (left + up) / 2;
                break;
            case kPaeth:
                predicted = Paeth(left, up, upLeft);
                break;
        }
        out[i] = static_cast<uint8_t>(row[i] - predicted);
    }
}

// PNG's own heuristic: the smallest sum of the bytes read as signed.
uint64_t Cost(const uint8_t* filtered, size_t length) {
    uint64_t sum = 0;
    for (size_t i = 0; i < length; ++i) {
        sum += static_cast<uint64_t>(std::abs(static_cast<int8_t>(filtered[i])));
    }
    return sum;
}

}  // namespace

void AppendPredictedRows(const uint8_t* pixels, uint32_t width, uint32_t height, unsigned channels,
                         std::string& out) {
    const size_t length = size_t{width} * channels;
    const std::vector<uint8_t> zeros(length, 0);
    std::vector<uint8_t> best(length);
    std::vector<uint8_t> trial(length);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + y * length;
        const uint8_t* previous = y > 0 ? row - length : zeros.data();
        Filter chosen = kNone;
        uint64_t lowest = UINT64_MAX;
        for (const Filter filter : {kNone, kSub, kUp, kAverage, kPaeth}) {
            FilterRow(filter, row, previous, length, channels, trial.data());
            const uint64_t cost = Cost(trial.data(), length);
            if (cost < lowest) {
                lowest = cost;
                chosen = filter;
                best.swap(trial);
            }
        }
        out += static_cast<char>(chosen);
        out.append(reinterpret_cast<const char*>(best.data()), length);
    }
}

}  // namespace pelm32::pdf
