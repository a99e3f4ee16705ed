#include "url_get/core/data_buffer.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

CDataBuffer::CDataBuffer(const CDataBuffer& other) {
    if (other.m_size > 0) {
        Reallocate(other.m_size);
        std::memcpy(m_data, other.m_data, other.m_size);
        m_size = other.m_size;
    }
}

CDataBuffer::CDataBuffer(CDataBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

CDataBuffer& CDataBuffer::operator=(const CDataBuffer& other) {
    if (this != &other) {
        if (other.m_size > m_capacity) {
            m_size = 0; // the old bytes are about to be overwritten: nothing to carry over
            Reallocate(other.m_size);
        }
        if (other.m_size > 0) {
            std::memcpy(m_data, other.m_data, other.m_size);
        }
        m_size = other.m_size;
    }
    return *this;
}

CDataBuffer& CDataBuffer::operator=(CDataBuffer&& other) noexcept {
    if (this != &other) {
        delete[] m_data;
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

CDataBuffer::~CDataBuffer() {
    delete[] m_data;
}

std::size_t CDataBuffer::max_size() {
    return static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
}

void CDataBuffer::Append(const char* bytes, std::size_t n) {
    if (n == 0) {
        return;
    }
    if (n > max_size() - m_size) {
        throw std::length_error("vector<T> too long");
    }
    const std::size_t needed = m_size + n;
    if (needed > m_capacity) {
        std::size_t grown =
            m_capacity <= max_size() - m_capacity / 2 ? m_capacity + m_capacity / 2 : max_size();
        Reallocate(grown > needed ? grown : needed);
    }
    std::memcpy(m_data + m_size, bytes, n);
    m_size = needed;
}

void CDataBuffer::Reallocate(std::size_t capacity) {
    char* fresh = new char[capacity];
    if (m_size > 0) {
        std::memcpy(fresh, m_data, m_size);
    }
    delete[] m_data;
    m_data = fresh;
    m_capacity = capacity;
}
