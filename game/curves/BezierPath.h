#pragma once
// A point moving along a quadratic Bezier curve in fixed steps of 1/60 s. It has no clock of its
// own: the owner steps it once per game step (the hint arrow, the tableaux items).

struct BezierPoint {
    float x = 0.0f;
    float y = 0.0f;
};

class BezierPath {
public:
    static constexpr float kStep = 1.0f / 60.0f;

    BezierPath() = default;
    BezierPath(BezierPoint start, BezierPoint control, BezierPoint end, float duration)
    {
        Init(start, control, end, duration);
    }

    void Init(BezierPoint start, BezierPoint control, BezierPoint end, float duration);
    // Advances one step and writes the point reached. True while the path still runs; the step
    // that reaches the end writes the end point and answers false.
    bool Step(BezierPoint& out);

    float Elapsed() const { return m_elapsed; }
    float Duration() const { return m_duration; }

private:
    BezierPoint m_start;
    BezierPoint m_control;
    BezierPoint m_end;
    float m_duration = 0.0f;
    float m_elapsed = 0.0f;
    float m_step = kStep;
};
