#pragma once
// A reference to an object that may go away before its holders do: a slot of a HandleTable and
// the serial id the slot had when the handle was made. A stale handle resolves to null.

#include <cstdint>

namespace QuillEngine {

class HandleTable;

struct Handle {
    uint32_t id = 0; // 0 = empty handle
    uint32_t slot = 0;
    HandleTable* table = nullptr;

    bool IsEmpty() const { return id == 0 && table == nullptr; }
    bool IsValid() const;
    void* Get() const;
    template <class T> T* GetAs() const { return static_cast<T*>(Get()); }

    friend bool operator==(const Handle&, const Handle&) = default;
};

static_assert(sizeof(Handle) == 16, "Handle is two 32-bit words and a pointer");

} // namespace QuillEngine
