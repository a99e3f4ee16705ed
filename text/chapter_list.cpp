#include "text/chapter_list.h"

#include "platform/code_page.h"
#include "text/heading_rule.h"

CChapterList::CChapterList(std::initializer_list<ScanHit> hits) {
    for (const ScanHit& hit : hits) {
        push_back(hit);
    }
}

void CChapterList::clear() {
    // Swapped out, not cleared: a list of a million headings gives its memory back.
    std::vector<std::uint64_t>().swap(m_offsets);
    std::vector<std::int32_t>().swap(m_pages);
    std::vector<std::uint64_t>().swap(m_titleEnds);
    std::string().swap(m_titles);
    m_rule.clear();
    m_bMade = false;
}

void CChapterList::reserve(std::size_t count, std::size_t titleBytes) {
    m_offsets.reserve(count);
    m_pages.reserve(count);
    m_titleEnds.reserve(count);
    m_titles.reserve(titleBytes);
}

void CChapterList::push_back(const ScanHit& hit) {
    Add(hit.offset, hit.page, EncodeUtf8(hit.text));
}

void CChapterList::Add(std::uint64_t offset, int page, std::string_view titleUtf8) {
    m_offsets.push_back(offset);
    m_pages.push_back(page);
    m_titles += titleUtf8;
    m_titleEnds.push_back(m_titles.size());
}

void CChapterList::Append(const CChapterList& more) {
    for (std::size_t i = 0; i < more.size(); ++i) {
        Add(more.Offset(i), more.Page(i), more.TitleUtf8(i));
    }
}

std::string_view CChapterList::TitleUtf8(std::size_t i) const {
    const std::size_t from = i == 0 ? 0 : std::size_t(m_titleEnds[i - 1]);
    return std::string_view(m_titles).substr(from, std::size_t(m_titleEnds[i]) - from);
}

bool CChapterList::IsVolume(std::size_t i) const {
    return !m_bMade && IsVolumeHeading(Title(i));
}

std::u16string CChapterList::Title(std::size_t i) const {
    return DecodeUtf8(TitleUtf8(i));
}

ScanHit CChapterList::operator[](std::size_t i) const {
    ScanHit hit;
    hit.offset = m_offsets[i];
    hit.page = m_pages[i];
    hit.text = Title(i);
    return hit;
}

std::size_t CChapterList::CapacityBytes() const {
    return m_offsets.capacity() * sizeof(std::uint64_t) +
           m_pages.capacity() * sizeof(std::int32_t) +
           m_titleEnds.capacity() * sizeof(std::uint64_t) + m_titles.capacity();
}
