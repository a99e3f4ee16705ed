#pragma once

#include <optional>
#include <string>
#include <string_view>

// Which lines of a novel are chapter headings.

// Blanks around a line: ASCII white space, no-break space, the ideographic space U+3000 and the
// byte-order mark (which opens the first line of a marked book).
bool IsLineBlank(char16_t c);
// The line without the blanks around it.
std::u16string_view TrimLine(std::u16string_view line);

// Lines longer than this many characters (after trimming) are never headings.
constexpr std::size_t kMaxHeadingChars = 30;

// The title of a heading line (the trimmed line), or nothing when the line is not a heading:
// "第" + 1-9 numerals + one of 章回节卷集部篇; or 序章, 序言, 楔子, 引子, 前言, 尾声, 后记, 番外;
// or "Chapter" in any case, blanks, a digit.
std::optional<std::u16string> HeadingTitle(std::u16string_view line);

// The first characters a heading can begin with (after its leading blanks), for scanners that
// look at encoded bytes before decoding a line.
const std::u16string& HeadingFirstCharacters();

// The heading forms of the built-in chapter rules. Each takes a trimmed line.

// "第" + numerals + unit (blanks allowed between them), then the end, a blank or a separator
// (：: 、. and the like); or 卷 + numerals the same way; or 序, 序章, 楔子, 番外一, 尾声, 后记
// and the like, alone or before a separator.
bool IsSeparatedHeading(std::u16string_view title);
// An opening bracket (【〔[［〖), a heading, a number or a named part, the matching closing
// bracket, then anything: 【第一章】标题, 〔012〕, [楔子] 开端.
bool IsBracketedHeading(std::u16string_view title);
// "正文", blanks or separators, then a numbered heading: 正文 第一章 标题.
bool IsBodyHeading(std::u16string_view title);
// "Chapter" in any case, blanks, then digits, Roman numerals or English number words
// ("Twenty-One"), then the end or a separator; or Prologue, Epilogue alone or before one.
bool IsEnglishHeading(std::u16string_view title);

// A volume's heading, which the chapters after it belong to: 第 numerals 卷 or 卷 numerals, then
// the end or a separator, also inside brackets or after 正文 (【第一卷】, 正文 卷二 山河).
bool IsVolumeHeading(std::u16string_view title);
