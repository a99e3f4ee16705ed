#pragma once

#include <cstddef>

// A growable array of bytes. It keeps its capacity when emptied, so a buffer reused for one
// transfer after another stops allocating once it has seen the largest body.
class CDataBuffer {
public:
    CDataBuffer() = default;
    CDataBuffer(const CDataBuffer& other);
    CDataBuffer(CDataBuffer&& other) noexcept;
    CDataBuffer& operator=(const CDataBuffer& other);
    CDataBuffer& operator=(CDataBuffer&& other) noexcept;
    virtual ~CDataBuffer();

    // Appends n bytes. When they do not fit, the capacity grows by half, or to exactly what is
    // needed if that is more. Throws std::length_error ("vector<T> too long") beyond max_size().
    void Append(const char* bytes, std::size_t n);
    void Clear() { m_size = 0; }

    const char* data() const { return m_data; }
    const char* begin() const { return m_data; }
    const char* end() const { return m_data + m_size; }
    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    bool empty() const { return m_size == 0; }
    static std::size_t max_size();

private:
    void Reallocate(std::size_t capacity);

    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
