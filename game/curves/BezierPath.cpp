#include "game/curves/BezierPath.h"

#include <algorithm>

void BezierPath::Init(BezierPoint start, BezierPoint control, BezierPoint end, float duration)
{
    m_start = start;
    m_control = control;
    m_end = end;
    m_duration = duration;
    m_elapsed = 0.0f;
    m_step = kStep;
}

bool BezierPath::Step(BezierPoint& out)
{
    m_elapsed += m_step;
    // Elapsed time is kept in 32-bit floats: a 2 s path runs 120 steps and ends on the 121st.
    // A zero or negative duration ends at once, on the end point.
    const float t = m_duration > 0.0f ? std::clamp(m_elapsed / m_duration, 0.0f, 1.0f) : 1.0f;
    const float u = 1.0f - t;
    out.x = u * u * m_start.x + 2.0f * t * u * m_control.x + t * t * m_end.x;
    out.y = u * u * m_start.y + 2.0f * t * u * m_control.y + t * t * m_end.y;
    return m_elapsed < m_duration;
}
