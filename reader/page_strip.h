#pragma once

#include <deque>

// The pages the text pane holds, one after another, as one text: which pages, how long each
// one's shown text is, and so where each begins in the pane. The pane's text is these pages'
// shown texts joined, nothing between them.
class CPageStrip {
public:
    void Clear() { m_pages.clear(); }
    bool Empty() const { return m_pages.empty(); }
    int Count() const { return int(m_pages.size()); }
    int FirstPage() const { return m_pages.empty() ? -1 : m_pages.front().page; }
    int LastPage() const { return m_pages.empty() ? -1 : m_pages.back().page; }
    int Length() const;

    void PushBack(int page, int length) { m_pages.push_back({page, length}); }
    void PushFront(int page, int length) { m_pages.push_front({page, length}); }
    // Characters of the page taken away.
    int PopFront();
    int PopBack();
    int FrontLength() const { return m_pages.empty() ? 0 : m_pages.front().length; }
    int BackLength() const { return m_pages.empty() ? 0 : m_pages.back().length; }

    // Where page `page` begins in the pane's text; -1 when it is not held.
    int StartOf(int page) const;
    struct Place {
        int page = -1;
        int shown = 0; // index in the page's shown text
    };
    // The page holding pane position `position` (the last page for its end); page -1 when
    // nothing is held.
    Place PlaceOf(int position) const;

private:
    struct Entry {
        int page;
        int length;
    };
    std::deque<Entry> m_pages;
};
