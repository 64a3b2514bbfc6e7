#pragma once
// The base of every object with phases (the game, its sub-games, dialogs): an integer state and
// three hooks. A state change asked for while the machine runs its update hook is applied when
// the hook returns; several such requests collapse into the last one, and one that names the
// state already current is dropped. Outside an update a change is applied at once, even when it
// names the current state (its exit and enter hooks run again).

#include <cstdint>

class StateMachine {
public:
    virtual ~StateMachine() = default;

    void SetState(int32_t state);
    // One tick: the update hook of the current state, then any change it asked for.
    void Update();

    int32_t GetState() const { return m_state; }
    int32_t GetPreviousState() const { return m_previousState; }
    int32_t GetRequestedState() const { return m_requestedState; }
    bool IsUpdating() const { return m_updating; }

protected:
    StateMachine() = default;

    virtual void OnEnter(int32_t state) = 0;
    virtual void OnExit(int32_t state) = 0;
    virtual void OnUpdate(int32_t state) = 0;

private:
    int32_t m_state = 0;
    int32_t m_previousState = 0;
    int32_t m_requestedState = 0;
    bool m_updating = false;
};
