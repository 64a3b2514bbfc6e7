#include "game/states/StateMachine.h"

void StateMachine::SetState(int32_t state)
{
    m_requestedState = state;
    if (m_updating)
        return;
    OnExit(m_state);
    m_previousState = m_state;
    m_state = state;
    OnEnter(state);
}

void StateMachine::Update()
{
    // A machine updated again from inside its own hook keeps its outer update's deferral.
    const bool outer = !m_updating;
    m_updating = true;
    OnUpdate(m_state);
    if (!outer)
        return;
    m_updating = false;
    if (m_requestedState != m_state)
        SetState(m_requestedState);
}
