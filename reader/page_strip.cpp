#include "reader/page_strip.h"

int CPageStrip::Length() const {
    int length = 0;
    for (const Entry& entry : m_pages) {
        length += entry.length;
    }
    return length;
}

int CPageStrip::PopFront() {
    const int length = FrontLength();
    if (!m_pages.empty()) {
        m_pages.pop_front();
    }
    return length;
}

int CPageStrip::PopBack() {
    const int length = BackLength();
    if (!m_pages.empty()) {
        m_pages.pop_back();
    }
    return length;
}

int CPageStrip::StartOf(int page) const {
    int start = 0;
    for (const Entry& entry : m_pages) {
        if (entry.page == page) {
            return start;
        }
        start += entry.length;
    }
    return -1;
}

CPageStrip::Place CPageStrip::PlaceOf(int position) const {
    int start = 0;
    for (const Entry& entry : m_pages) {
        // A position between two pages belongs to the later one, unless the page is empty.
        if (position < start + entry.length) {
            return {entry.page, position < start ? 0 : position - start};
        }
        start += entry.length;
    }
    if (m_pages.empty()) {
        return {};
    }
    return {m_pages.back().page, m_pages.back().length};
}
