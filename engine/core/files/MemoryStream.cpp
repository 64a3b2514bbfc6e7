#include "engine/core/files/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/core/prefs/Xxtea.h"

namespace QuillEngine {

MemoryStream::MemoryStream(const void* bytes, uint32_t n)
{
    if (n == 0)
        return;
    m_data = std::make_unique<uint8_t[]>(n);
    std::memcpy(m_data.get(), bytes, n);
    m_capacity = m_size = n;
}

void MemoryStream::Reserve(uint32_t n)
{
    if (m_capacity >= n)
        return;
    auto grown = std::make_unique<uint8_t[]>(n);
    if (m_size)
        std::memcpy(grown.get(), m_data.get(), m_size);
    m_data = std::move(grown);
    m_capacity = n;
}

void MemoryStream::Seek(int64_t offset, int origin)
{
    int64_t target;
    switch (origin) {
    case 0:
        target = offset;
        break;
    case 1:
        target = static_cast<int64_t>(m_position) + offset;
        break;
    case 2:
        target = static_cast<int64_t>(m_size) + offset;
        break;
    default:
        return;
    }
    m_position = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, m_size));
}

bool MemoryStream::Write(const void* bytes, uint32_t n)
{
    if (n == 0)
        return true;
    const uint64_t end = static_cast<uint64_t>(m_position) + n;
    if (end > std::numeric_limits<uint32_t>::max())
        return false;
    if (end > m_capacity) {
        const auto* src = static_cast<const uint8_t*>(bytes);
        if (m_data && src >= m_data.get() && src < m_data.get() + m_capacity) {
            // The source lives in the buffer that growing frees.
            std::vector<uint8_t> copy(src, src + n);
            return Write(copy.data(), n);
        }
        // Grow geometrically so that a document written piece by piece stays linear.
        const uint64_t doubled = static_cast<uint64_t>(m_capacity) * 2;
        Reserve(
            static_cast<uint32_t>(std::min<uint64_t>(std::max(end, doubled), std::numeric_limits<uint32_t>::max())));
    }
    std::memmove(m_data.get() + m_position, bytes, n);
    m_position = static_cast<uint32_t>(end);
    m_size = std::max(m_size, m_position);
    return true;
}

bool MemoryStream::Append(MemoryStream& other)
{
    const uint32_t n = other.Remaining();
    if (n == 0)
        return true;
    if (&other == this) {
        // Writing the unread bytes over themselves changes nothing but the position.
        m_position = m_size;
        return true;
    }
    if (!Write(other.m_data.get() + other.m_position, n))
        return false;
    other.m_position = other.m_size;
    return true;
}

uint32_t MemoryStream::Read(void* buffer, uint32_t n)
{
    const uint32_t count = std::min(n, Remaining());
    if (count) {
        std::memcpy(buffer, m_data.get() + m_position, count);
        m_position += count;
    }
    return count;
}

MemoryStream MemoryStream::ReadInto(uint32_t n)
{
    const uint32_t count = std::min(n, Remaining());
    MemoryStream out(count ? m_data.get() + m_position : nullptr, count);
    m_position += count;
    return out;
}

void MemoryStream::Clear()
{
    m_data.reset();
    m_capacity = m_size = m_position = 0;
}

void MemoryStream::Encipher(const uint8_t key[16])
{
    PadAndCipher(key, true);
}

void MemoryStream::Decipher(const uint8_t key[16])
{
    PadAndCipher(key, false);
}

void MemoryStream::PadAndCipher(const uint8_t key[16], bool encipher)
{
    m_position = m_size;
    if (m_size % 4) {
        static const uint8_t zeros[4] = {};
        Write(zeros, 4 - m_size % 4);
    }
    const size_t count = m_size / 4;
    if (count < 2)
        return;

    uint32_t k[4];
    for (int i = 0; i < 4; ++i)
        k[i] = uint32_t(key[4 * i]) | uint32_t(key[4 * i + 1]) << 8 | uint32_t(key[4 * i + 2]) << 16 |
               uint32_t(key[4 * i + 3]) << 24;

    // The content is little-endian words whatever the host; work on a word copy so that neither
    // alignment nor byte order of the buffer matters.
    std::vector<uint32_t> words(count);
    const uint8_t* p = m_data.get();
    for (size_t i = 0; i < count; ++i, p += 4)
        words[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    if (encipher)
        XxteaEncipher(words.data(), count, k);
    else
        XxteaDecipher(words.data(), count, k);
    uint8_t* q = m_data.get();
    for (size_t i = 0; i < count; ++i, q += 4) {
        q[0] = uint8_t(words[i]);
        q[1] = uint8_t(words[i] >> 8);
        q[2] = uint8_t(words[i] >> 16);
        q[3] = uint8_t(words[i] >> 24);
    }
}

} // namespace QuillEngine
