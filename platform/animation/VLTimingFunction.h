#pragma once

// Core Animation's media timing functions: cubic Béziers from (0,0) to (1,1) with two control
// points. Qt's easing curves differ from these, and the screens' timings were tuned on these.

enum class VLTimingFunctionName {
    Linear,
    EaseIn,        // 0.42, 0, 1, 1
    EaseOut,       // 0, 0, 0.58, 1
    EaseInEaseOut, // 0.42, 0, 0.58, 1
    Default,       // 0.25, 0.1, 0.25, 1
};

class VLTimingFunction final
{
public:
    VLTimingFunction(); // linear
    static VLTimingFunction functionWithName(VLTimingFunctionName name);
    static VLTimingFunction functionWithControlPoints(double c1x, double c1y, double c2x, double c2y);

    // Progress (0..1 of the curve's y) at time fraction x (0..1); x is clamped.
    [[nodiscard]] double solve(double x) const;

    double c1x() const { return m_c1x; }
    double c1y() const { return m_c1y; }
    double c2x() const { return m_c2x; }
    double c2y() const { return m_c2y; }

    bool operator==(const VLTimingFunction &) const = default;

private:
    VLTimingFunction(double c1x, double c1y, double c2x, double c2y);
    double sampleX(double t) const;
    double sampleY(double t) const;
    double sampleDerivativeX(double t) const;

    double m_c1x = 0.0;
    double m_c1y = 0.0;
    double m_c2x = 1.0;
    double m_c2y = 1.0;
};
