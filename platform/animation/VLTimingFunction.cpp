#include "platform/animation/VLTimingFunction.h"

#include <algorithm>
#include <cmath>

VLTimingFunction::VLTimingFunction() = default;

VLTimingFunction::VLTimingFunction(double c1x, double c1y, double c2x, double c2y)
    : m_c1x(std::clamp(c1x, 0.0, 1.0))
    , m_c1y(c1y)
    , m_c2x(std::clamp(c2x, 0.0, 1.0))
    , m_c2y(c2y)
{
}

VLTimingFunction VLTimingFunction::functionWithName(VLTimingFunctionName name)
{
    switch (name) {
    case VLTimingFunctionName::Linear:
        return VLTimingFunction(0.0, 0.0, 1.0, 1.0);
    case VLTimingFunctionName::EaseIn:
        return VLTimingFunction(0.42, 0.0, 1.0, 1.0);
    case VLTimingFunctionName::EaseOut:
        return VLTimingFunction(0.0, 0.0, 0.58, 1.0);
    case VLTimingFunctionName::EaseInEaseOut:
        return VLTimingFunction(0.42, 0.0, 0.58, 1.0);
    case VLTimingFunctionName::Default:
        return VLTimingFunction(0.25, 0.1, 0.25, 1.0);
    }
    return VLTimingFunction();
}

VLTimingFunction VLTimingFunction::functionWithControlPoints(double c1x, double c1y, double c2x, double c2y)
{
    return VLTimingFunction(c1x, c1y, c2x, c2y);
}

// B(t) = 3(1-t)^2 t p1 + 3(1-t) t^2 p2 + t^3, written in Horner form.
double VLTimingFunction::sampleX(double t) const
{
    const double cx = 3.0 * m_c1x;
    const double bx = 3.0 * (m_c2x - m_c1x) - cx;
    const double ax = 1.0 - cx - bx;
    return ((ax * t + bx) * t + cx) * t;
}

double VLTimingFunction::sampleY(double t) const
{
    const double cy = 3.0 * m_c1y;
    const double by = 3.0 * (m_c2y - m_c1y) - cy;
    const double ay = 1.0 - cy - by;
    return ((ay * t + by) * t + cy) * t;
}

double VLTimingFunction::sampleDerivativeX(double t) const
{
    const double cx = 3.0 * m_c1x;
    const double bx = 3.0 * (m_c2x - m_c1x) - cx;
    const double ax = 1.0 - cx - bx;
    return (3.0 * ax * t + 2.0 * bx) * t + cx;
}

double VLTimingFunction::solve(double x) const
{
    x = std::clamp(x, 0.0, 1.0);
    if (x == 0.0 || x == 1.0)
        return x;
    constexpr double epsilon = 1e-9;

    // Newton's method converges in a few steps on these curves; bisection catches flat slopes.
    double t = x;
    for (int i = 0; i < 8; ++i) {
        const double error = sampleX(t) - x;
        if (std::abs(error) < epsilon)
            return sampleY(t);
        const double slope = sampleDerivativeX(t);
        if (std::abs(slope) < 1e-6)
            break;
        t -= error / slope;
    }
    double low = 0.0;
    double high = 1.0;
    t = x;
    for (int i = 0; i < 64; ++i) {
        const double value = sampleX(t);
        if (std::abs(value - x) < epsilon)
            break;
        if (value < x)
            low = t;
        else
            high = t;
        t = (low + high) * 0.5;
    }
    return sampleY(t);
}
