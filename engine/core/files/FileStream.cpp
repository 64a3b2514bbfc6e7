#include "engine/core/files/FileStream.h"

#include <algorithm>
#include <cstring>

namespace QuillEngine {

uint32_t FileStream::AddRef()
{
    return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t FileStream::Release()
{
    uint32_t left = m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

StreamResult FileStream::Read(void* buffer, uint32_t count, uint32_t* read)
{
    if (!m_file.IsValid())
        return StreamResult::Unexpected;
    size_t size = m_file.Size();
    if (m_position >= size) {
        if (read)
            *read = 0;
        return StreamResult::False;
    }
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, size - m_position));
    if (n > 0) {
        if (!buffer)
            return StreamResult::InvalidArg;
        std::memcpy(buffer, m_file.Data() + m_position, n);
    }
    m_position += n;
    if (read)
        *read = n;
    return StreamResult::Ok;
}

StreamResult FileStream::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition)
{
    return Seek(offset, static_cast<uint32_t>(origin), newPosition);
}

StreamResult FileStream::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition)
{
    if (!m_file.IsValid())
        return StreamResult::Unexpected;
    uint32_t base;
    switch (origin) {
    case 0:
        base = 0;
        break;
    case 1:
        base = m_position;
        break;
    case 2:
        base = static_cast<uint32_t>(m_file.Size());
        break;
    default:
        return StreamResult::InvalidArg;
    }
    // 32-bit wrap-around arithmetic: a negative offset moves back, and anything that would
    // land before the start wraps far past the end and is refused below.
    uint32_t target = base + static_cast<uint32_t>(static_cast<uint64_t>(offset));
    if (target >= m_file.Size())
        return StreamResult::InvalidArg;
    m_position = target;
    if (newPosition)
        *newPosition = target;
    return StreamResult::Ok;
}

StreamResult FileStream::Stat(StreamStat* stat, StreamStatFlag flag) const
{
    if (flag != StreamStatFlag::NoName || !stat)
        return StreamResult::InvalidArg;
    if (!m_file.IsValid())
        return StreamResult::Unexpected;
    *stat = StreamStat{};
    stat->type = StreamStat::StreamType;
    stat->size = m_file.Size();
    return StreamResult::Ok;
}

} // namespace QuillEngine
