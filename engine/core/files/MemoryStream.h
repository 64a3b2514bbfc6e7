#pragma once
// A growable in-memory byte stream with a read/write position. The user-data store builds and
// takes apart its files in one of these, and can encipher the whole content in place.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace QuillEngine {

class Stream_Base {
public:
    Stream_Base() = default;
    virtual ~Stream_Base() = default;
    // A moved-from stream is empty.
    Stream_Base(Stream_Base&& other) noexcept { *this = std::move(other); }
    Stream_Base& operator=(Stream_Base&& other) noexcept
    {
        if (this != &other) {
            m_data = std::move(other.m_data);
            m_capacity = std::exchange(other.m_capacity, 0);
            m_size = std::exchange(other.m_size, 0);
            m_position = std::exchange(other.m_position, 0);
        }
        return *this;
    }

protected:
    std::unique_ptr<uint8_t[]> m_data; // null when nothing is allocated
    uint32_t m_capacity = 0;
    uint32_t m_size = 0;
    uint32_t m_position = 0; // always within [0, m_size]
};

class MemoryStream : public Stream_Base {
public:
    MemoryStream() = default;
    // Adopts a copy of `n` bytes: capacity = size = n, position 0.
    MemoryStream(const void* bytes, uint32_t n);
    MemoryStream(MemoryStream&&) noexcept = default;
    MemoryStream& operator=(MemoryStream&&) noexcept = default;

    // Makes room for `n` bytes in total; never shrinks.
    void Reserve(uint32_t n);
    // origin 0: from the start, 1: from the position, 2: from the end. The result is clamped to
    // [0, size]; any other origin does nothing.
    void Seek(int64_t offset, int origin);
    // Writes at the position, growing the content as needed. False only when the stream would
    // pass 4 GiB.
    bool Write(const void* bytes, uint32_t n);
    // Writes the other stream's unread bytes and moves its position to its end.
    bool Append(MemoryStream& other);
    uint32_t Read(void* buffer, uint32_t n);
    // A new stream holding a copy of the next min(n, remaining) bytes; this position advances.
    MemoryStream ReadInto(uint32_t n);
    void Clear();

    // Pads the content with zeros to a multiple of 4 bytes, then runs XXTEA over all of it with
    // the 16 key bytes read as four little-endian words. The position ends at the end.
    void Encipher(const uint8_t key[16]);
    void Decipher(const uint8_t key[16]);

    const uint8_t* Data() const { return m_data.get(); }
    uint32_t Size() const { return m_size; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t Position() const { return m_position; }
    uint32_t Remaining() const { return m_size - m_position; }

private:
    void PadAndCipher(const uint8_t key[16], bool encipher);
};

} // namespace QuillEngine
