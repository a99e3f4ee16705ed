#include "text/code_page_layout.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <vector>

using test_books::Encode;

namespace {

// Byte lengths of the characters of `utf8` in `codePage`, each character encoded alone by iconv.
std::vector<std::size_t> CharacterLengths(const std::string& utf8, const char* codePage) {
    std::vector<std::size_t> lengths;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        lengths.push_back(Encode(utf8.substr(i, n), codePage).size());
        i += n;
    }
    return lengths;
}

struct Book {
    TextEncoding encoding;
    const char* codePage; // the iconv name the bytes are made with
    std::string utf8;
};

const std::string kLatin = " Chapter 12: Veska reads abc XYZ mixed in.\n";

std::vector<Book> RealBooks() {
    using namespace test_books;
    return {
        {ENCODING_ANSI, "GB18030", kChineseProse + kLatin},
        {ENCODING_ANSI, "GBK", kTraditionalProse + kLatin},
        {ENCODING_ANSI, "BIG5-HKSCS", kTraditionalProse + kLatin},
        {ENCODING_ANSI, "CP950", kTraditionalProse + kLatin},
        {ENCODING_ANSI, "EUC-TW", kTraditionalProse + kLatin + "丂"},  // four bytes: 8E A4 A1 A6
        {ENCODING_ANSI, "CP932", kJapaneseProse + kLatin + "ｺｰﾋｰ"},    // half-width: one byte
        {ENCODING_ANSI, "EUC-JP", kJapaneseProse + kLatin + "ｺｰﾋｰ丂"}, // 8E xx and 8F xx xx
        {ENCODING_ANSI, "EUC-KR", kKoreanProse + kLatin},
        {ENCODING_ANSI, "CP949", kKoreanProse + kLatin + "똠"}, // trail byte 'c'
        {ENCODING_UTF8, "UTF-8", kChineseProse + kLatin},
        {ENCODING_UTF16LE, "UTF-16LE", kChineseProse + kLatin},
        {ENCODING_UTF16BE, "UTF-16BE", kChineseProse + kLatin},
    };
}

// Walking real text with CharLength lands on exactly the characters iconv wrote, and every byte
// the layout calls a sure character edge really is one.
TEST(CodePageLayoutTest, RealTextWalksCharacterByCharacter) {
    for (const Book& book : RealBooks()) {
        SCOPED_TRACE(book.codePage);
        const std::string bytes = Encode(book.utf8, book.codePage);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const CCodePageLayout layout(book.encoding, book.codePage);

        const std::vector<std::size_t> expected = CharacterLengths(book.utf8, book.codePage);
        std::vector<std::size_t> walked;
        std::vector<bool> starts(bytes.size() + 1, false);
        for (std::size_t i = 0; i < bytes.size(); i += walked.back()) {
            starts[i] = true;
            walked.push_back(layout.CharLength(p + i, bytes.size() - i));
        }
        starts[bytes.size()] = true;
        ASSERT_EQ(walked, expected);

        std::size_t letterChecks = 0;
        for (std::size_t i = 0; !layout.IsUtf16() && i < bytes.size(); ++i) {
            if (layout.EndsCharacter(p[i])) {
                EXPECT_TRUE(starts[i + 1]) << "byte " << i;
            }
            if (layout.StandsAlone(p[i])) {
                EXPECT_TRUE(starts[i] && starts[i + 1]) << "byte " << i;
            }
            if (i > 0 && std::isalpha(p[i]) && layout.LetterStartsAfter(p[i - 1])) {
                EXPECT_TRUE(starts[i]) << "byte " << i;
                ++letterChecks;
            }
            if (p[i] == '\n') {
                EXPECT_TRUE(layout.StandsAlone(p[i]));
            }
        }
        EXPECT_TRUE(layout.IsUtf16() || letterChecks > 0);
    }
}

// Where a code page's trail bytes may be ASCII letters or digits, those bytes are not taken for
// characters of their own; where they cannot be, they are.
TEST(CodePageLayoutTest, TrailBytesInTheAsciiRangeFollowTheCodePage) {
    const CCodePageLayout gb(ENCODING_ANSI, "GB18030");
    const CCodePageLayout big5(ENCODING_ANSI, "big5-hkscs"); // names in any case
    const CCodePageLayout eucJp(ENCODING_ANSI, "EUC-JP");
    const CCodePageLayout sjis(ENCODING_ANSI, "CP932");
    EXPECT_TRUE(gb.IsGb18030());
    EXPECT_FALSE(big5.IsGb18030());
    EXPECT_FALSE(gb.EndsCharacter('5'));  // second byte of a four-byte sequence
    EXPECT_TRUE(big5.EndsCharacter('5')); // Big5 has no sequence with a digit in it
    EXPECT_FALSE(big5.LetterStartsAfter(0xA4));
    EXPECT_TRUE(eucJp.LetterStartsAfter(0xA4)); // EUC trail bytes are all 0xA1 and above
    EXPECT_TRUE(sjis.LetterStartsAfter(0xB1));  // half-width katakana or a trail byte, never a lead
    EXPECT_FALSE(sjis.StandsAlone(0xB1));
    EXPECT_FALSE(sjis.LetterStartsAfter(0x82));
}

TEST(CodePageLayoutTest, MalformedAndCutOffSequencesCountAsOneUnit) {
    const CCodePageLayout gb(ENCODING_ANSI, "GB18030");
    const CCodePageLayout utf8(ENCODING_UTF8, "GB18030"); // the code page is for legacy books
    const CCodePageLayout le(ENCODING_UTF16LE, "");
    const CCodePageLayout koi8(ENCODING_ANSI, "KOI8-R");
    const auto len = [](const CCodePageLayout& layout, std::string_view bytes) {
        return layout.CharLength(reinterpret_cast<const unsigned char*>(bytes.data()),
                                 bytes.size());
    };
    EXPECT_EQ(len(gb, "\x95\x34\xB2\x35"), 4u);
    EXPECT_EQ(len(gb, "\x95\x34\xB2"), 1u); // cut off
    EXPECT_EQ(len(gb, "\x81\x20"), 1u);
    EXPECT_EQ(len(gb, "\xFF\xA1"), 1u);
    EXPECT_EQ(len(utf8, "\xE4\xB8!"), 1u);
    EXPECT_EQ(len(utf8, "\xED\xA0\x80"), 1u); // an encoded surrogate is not a character
    EXPECT_EQ(len(utf8, "\xF0\xA0\xAE\xB7"), 4u);
    EXPECT_EQ(len(le, std::string_view("\x42\xD8\xB7\xDF", 4)), 4u);
    EXPECT_EQ(len(le, std::string_view("\x42\xD8\x41\x00", 4)), 2u); // lone high surrogate
    EXPECT_EQ(len(le, std::string_view("\x42\xD8", 2)), 2u);
    EXPECT_EQ(len(le, "\x41"), 1u); // an odd last byte
    for (unsigned b = 0; b < 256; ++b) {
        const auto c = static_cast<char>(b);
        EXPECT_EQ(len(koi8, std::string{c, c}), 1u);
        EXPECT_TRUE(koi8.StandsAlone(static_cast<unsigned char>(b)));
    }
}

} // namespace
