#pragma once

#include "text/book_scanner.h"
#include "text/chapter_list.h"
#include "text/chapter_rules.h"

#include <cstdint>
#include <optional>
#include <vector>

// A book's chapter list: the headings of the rule that fits the book best, or, in a book
// without headings, chapters the reader cuts itself.
class CChapterFinder {
public:
    // The length the reader cuts chapters to, in characters.
    static constexpr std::uint64_t kMadeChapterChars = 10000;
    // A rule whose chapters average more than this is taken to have found stray lines only.
    static constexpr std::uint64_t kFarTooLongChars = 100000;
    // A rule whose typical chapter is shorter than this marks lines of the text, not chapters.
    static constexpr std::uint64_t kTooShortChars = 50;

    // Scans the book the scanner has open with every rule at once and keeps the headings of the
    // one picked, or of rule `forced` when it is one (however few or many they are). Nothing when
    // cancelled.
    static std::optional<CChapterList> Find(CBookScanner& scanner, const CChapterRules& rules,
                                            int forced = -1);

    // Books larger than this are scanned by two threads, a half each.
    static constexpr std::uint64_t kSplitBytes = 32 * 1024 * 1024;
    // Every heading of the scanner's rules in book order, the second half of the book read by a
    // scanner of its own on another thread. false when cancelled (or the book cannot be opened
    // again).
    static bool ScanInHalves(CBookScanner& scanner, const CBookScanner::HitFn& onHit);

    // The rule to take, from the headings each rule found (offsets in book order, with the bits
    // of the rules they are headings of): the one with the most chapters of plausible length,
    // passing over rules whose chapters are far too long, and rules whose chapters are too
    // short unless every rule's are; the earlier rule on a tie. -1 when no rule fits.
    static int Pick(const std::vector<std::uint64_t>& offsets,
                    const std::vector<std::uint64_t>& rules, std::size_t ruleCount,
                    std::uint64_t bookBytes, std::uint64_t bytesPerChar);

    // Chapters of about kMadeChapterChars characters, each beginning at a paragraph and named
    // by its opening words. false when cancelled.
    static bool MakeChapters(CBookScanner& scanner, CChapterList& chapters);
};
