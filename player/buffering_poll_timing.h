#pragma once

namespace lumora {

// How often the buffering poll reports, and for how long at most
// (500 x 50 ms, about 25 s). Tests shorten both.
struct BufferingPollTiming {
    int periodMs = 50;
    int maxCycles = 500;
};

}  // namespace lumora
