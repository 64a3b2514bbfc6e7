#include "engine/core/HandleTable.h"

namespace QuillEngine {

bool Handle::IsValid() const
{
    return table && table->IsValid(id, slot);
}

void* Handle::Get() const
{
    return table ? table->Resolve(id, slot) : nullptr;
}

Handle HandleTable::Create(void* object, uint32_t value)
{
    if (m_freeSlots.empty()) {
        if (m_count == m_entries.size())
            m_entries.resize(m_entries.size() + kGrowStep);
        m_freeSlots.push_back(m_count++);
    }
    const uint32_t slot = m_freeSlots.back();
    m_freeSlots.pop_back();

    const uint32_t id = m_nextId++;
    if (m_nextId == 0) // 0 names the empty handle
        m_nextId = 1;
    m_entries[slot] = Entry{id, object, value};
    return Handle{id, slot, this};
}

void HandleTable::Release(const Handle& handle)
{
    if (!IsValid(handle))
        return;
    m_entries[handle.slot] = Entry{};
    m_freeSlots.push_back(handle.slot);
}

Handle HandleTable::FindByObject(const void* object)
{
    for (uint32_t i = 0; i < m_count; ++i) {
        const Entry& e = m_entries[i];
        if (e.id != 0 && e.object == object)
            return Handle{e.id, i, this};
    }
    return Handle{};
}

} // namespace QuillEngine
