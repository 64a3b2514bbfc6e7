#pragma once
// Reads the state's list of linked value handles, which the state keeps only to unbind them when
// it goes.

#include "engine/script/LuaState.h"

namespace QuillLua {

struct LuaStateTestAccess {
    static int HandleCount(const LuaState& state)
    {
        int count = 0;
        for (const LuaHandleLink* link = state.handles_.next; link != &state.handles_; link = link->next)
            ++count;
        return count;
    }
};

} // namespace QuillLua
