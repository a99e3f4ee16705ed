#pragma once

#include "text/book_scanner.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// A book's chapter headings in book order, held compactly: each heading costs its offset, its
// page and its title's UTF-8 bytes in one shared buffer (about 80 bytes for a long Chinese title),
// not a string object of its own, so a book of a million headings keeps its list in tens of MB.
// Entries read back as ScanHit values; titles are decoded when asked for.
class CChapterList {
public:
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ScanHit;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ScanHit;

        const_iterator() = default;
        const_iterator(const CChapterList* list, std::size_t index) : m_list(list), m_i(index) {}
        ScanHit operator*() const { return (*m_list)[m_i]; }
        const_iterator& operator++() {
            ++m_i;
            return *this;
        }
        const_iterator operator++(int) {
            const const_iterator was = *this;
            ++m_i;
            return was;
        }
        bool operator==(const const_iterator& other) const { return m_i == other.m_i; }

    private:
        const CChapterList* m_list = nullptr;
        std::size_t m_i = 0;
    };

    CChapterList() = default;
    CChapterList(std::initializer_list<ScanHit> hits);

    std::size_t size() const { return m_offsets.size(); }
    bool empty() const { return m_offsets.empty(); }
    void clear();
    // Room for `count` headings whose titles take `titleBytes` in all.
    void reserve(std::size_t count, std::size_t titleBytes);

    void push_back(const ScanHit& hit);
    void Add(std::uint64_t offset, int page, std::string_view titleUtf8);
    void Append(const CChapterList& more);

    std::uint64_t Offset(std::size_t i) const { return m_offsets[i]; }
    int Page(std::size_t i) const { return m_pages[i]; }
    std::string_view TitleUtf8(std::size_t i) const;
    std::u16string Title(std::size_t i) const;
    // Whether heading i is a volume's (第一卷, 卷二 …), which the headings after it belong to.
    // Chapters the reader made are never volumes.
    bool IsVolume(std::size_t i) const;
    ScanHit operator[](std::size_t i) const;
    ScanHit back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    // The chapter rule the headings are of (UTF-8); empty for a list the reader made.
    const std::string& RuleName() const { return m_rule; }
    void SetRuleName(std::string name) { m_rule = std::move(name); }
    // A book without headings gets chapters the reader cut at paragraph ends, named by their
    // opening words.
    bool MadeByReader() const { return m_bMade; }
    void SetMadeByReader(bool made) { m_bMade = made; }

    // The heap the list holds.
    std::size_t CapacityBytes() const;

private:
    std::vector<std::uint64_t> m_offsets;
    std::vector<std::int32_t> m_pages;
    std::vector<std::uint64_t>
        m_titleEnds; // title i is m_titles[m_titleEnds[i - 1], m_titleEnds[i])
    std::string m_titles;
    std::string m_rule;
    bool m_bMade = false;
};
