#pragma once
// Slots of objects named by handles. A freed slot is reused (last freed, first reused) but gets
// a new serial id, so handles to its previous object stay invalid.

#include <cstdint>
#include <vector>

#include "engine/core/Handle.h"

namespace QuillEngine {

class HandleTable {
public:
    static constexpr uint32_t kGrowStep = 16;

    HandleTable() = default;
    // Handles point at their table: a table never moves.
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    Handle Create(void* object, uint32_t value = 0);
    // Frees the slot of a valid handle; a stale, empty or foreign handle changes nothing.
    void Release(const Handle& handle);

    bool IsValid(uint32_t id, uint32_t slot) const { return id != 0 && slot < m_count && m_entries[slot].id == id; }
    bool IsValid(const Handle& h) const { return h.table == this && IsValid(h.id, h.slot); }
    void* Resolve(uint32_t id, uint32_t slot) const { return IsValid(id, slot) ? m_entries[slot].object : nullptr; }
    void* Resolve(const Handle& h) const { return h.table == this ? Resolve(h.id, h.slot) : nullptr; }
    // The value stored with the object, 0 for an invalid handle.
    uint32_t ValueOf(const Handle& h) const { return IsValid(h) ? m_entries[h.slot].value : 0; }
    // The first live slot (in index order) holding `object`, or an empty handle.
    Handle FindByObject(const void* object);

    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return static_cast<uint32_t>(m_entries.size()); }
    uint32_t LiveCount() const { return m_count - static_cast<uint32_t>(m_freeSlots.size()); }

    // Test hook: the serial id the next handle will get.
    void SetNextIdForTest(uint32_t id) { m_nextId = id; }

private:
    struct Entry {
        uint32_t id = 0;
        void* object = nullptr;
        uint32_t value = 0;
    };

    uint32_t m_count = 0;
    std::vector<Entry> m_entries; // size() is the capacity, grown kGrowStep slots at a time
    std::vector<uint32_t> m_freeSlots;
    uint32_t m_nextId = 1;
};

} // namespace QuillEngine
