#pragma once

// Four floats r, g, b, a, addressed by channel index 0..3. Every colour the
// solver makes has a = 1.
struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;

    Color() = default;
    Color(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}

    // Channel 0 = r, 1 = g, 2 = b, 3 = a; any other index selects r.
    float& operator[](int ch) { return ch == 1 ? g : ch == 2 ? b : ch == 3 ? a : r; }
    float operator[](int ch) const { return ch == 1 ? g : ch == 2 ? b : ch == 3 ? a : r; }

    // Largest of r, g, b, starting from the most negative finite float.
    float maxComponent() const;
    // r, g, b multiplied by factor; a unchanged.
    void normalizeScale(float factor);
};

inline float Color::maxComponent() const {
    float m = -3.4028235e38f;
    if (r > m) m = r;
    if (g > m) m = g;
    if (b > m) m = b;
    return m;
}

inline void Color::normalizeScale(float factor) {
    r = r * factor;
    g = g * factor;
    b = b * factor;
}
