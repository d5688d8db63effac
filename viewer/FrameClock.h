#pragma once

// Frame-rate independence. The specified per-frame steps (walking speed,
// mouse-look turn) mean what they mean at 60 frames a second: each displayed
// frame applies them scaled by the time since the previous frame over 1/60 s.
constexpr double kReferenceFrameRate = 60.0;

// The longest time one frame may stand for: after a stall (a dragged window,
// a suspended machine) the camera does not leap.
constexpr double kLongestFrameSeconds = 0.25;

// Period of the timer that asks for the next frame, so that frames are drawn
// at most about 60 times a second instead of as fast as the machine can.
constexpr unsigned kFrameTimerMillis = 16;

struct FrameClock {
    bool started = false;
    double lastSeconds = 0.0;
};

// The time since the previous call in units of 1/60 s, at most
// kLongestFrameSeconds' worth; 0 on the first call and if time went back.
float referenceFrames(FrameClock& clock, double nowSeconds);

// Seconds on a monotonic clock.
double monotonicSeconds();
