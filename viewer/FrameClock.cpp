#include "FrameClock.h"

#include <chrono>

float referenceFrames(FrameClock& clock, double nowSeconds) {
    double elapsed = clock.started ? nowSeconds - clock.lastSeconds : 0.0;
    clock.started = true;
    clock.lastSeconds = nowSeconds;
    if (elapsed < 0.0) elapsed = 0.0;
    if (elapsed > kLongestFrameSeconds) elapsed = kLongestFrameSeconds;
    return static_cast<float>(elapsed * kReferenceFrameRate);
}

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
