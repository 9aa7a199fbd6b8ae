// Code page 932 (Shift-JIS as Windows writes it), the encoding of all text in the tables, the
// files and the clipboard payload: conversion to and from UTF-8 for the edges of the program,
// and the byte-level helpers the table engine and the search need.
//
// The conversions go through glibc's "CP932", which reads 0x8160 as U+FF5E and writes the
// characters Linux input methods produce for 〜 and − (U+301C, U+2212) as 0x8160 and 0x817C.
// A character that cannot be converted, and any malformed input, becomes one "?" per bad
// character; the caller learns how many so that nothing is lost silently.
//
// Thread-safe: every thread uses its own converters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::store {

// Converts code page 932 bytes to UTF-8. Unmapped or malformed bytes (a lone lead byte, a lead
// byte with an invalid trail byte, 0x80, 0xA0, 0xFD-0xFF) each give one "?"; a well-formed but
// unmapped double-byte character gives a single "?". When unconvertible is given, it is set to
// the number of "?" inserted this way.
std::string Cp932ToUtf8(std::string_view cp932, int* unconvertible = nullptr);

// Converts UTF-8 to code page 932. A character code page 932 cannot hold gives one "?"; so does
// each maximal ill-formed subsequence of the input (a truncated sequence, a stray continuation
// byte, an overlong form, a surrogate). When unconvertible is given, it is set to the number of
// "?" inserted this way.
std::string Utf8ToCp932(std::string_view utf8, int* unconvertible = nullptr);

// The 1-based number of the first line of text (lines end at CR, LF or CR LF) that holds bytes
// code page 932 cannot read, or a zero byte (no text field holds one: a table reader stops at
// it); 0 when every byte can be read. For the imports, which report such
// a line and let the user go on with the bytes as they are, or stop.
std::size_t FirstUnreadableLine(std::string_view text);

// The longest start of text that is made of whole characters and has at most n bytes (all of
// it when shorter). A double-byte character that would straddle the limit is left out whole, so
// a cut text never ends in a lone lead byte that the next reader of a file would refuse.
// Characters are read from the start (a lead byte takes the byte after it), as Cp932Find does.
std::string CutToBytes(std::string_view text, std::size_t n);

// Text as a text(width) field stores it: CutToBytes, then trailing half-width spaces (0x20)
// removed; the ideographic space stays. Everything that looks a stored text up, or compares
// with one, compares this form.
std::string TextAsStored(std::string_view text, std::size_t width);
// The length of TextAsStored(text, width): what a field keeps of text, cut in place.
std::size_t StoredLength(std::string_view text, std::size_t width);

// True when text is well-formed UTF-8 (no overlong form, surrogate or value above U+10FFFF)
// and holds at least one multi-byte sequence: the mark of a UTF-8 file, as plain ASCII reads
// the same in both encodings.
bool IsUtf8WithMultiByte(std::string_view text);
// The length of the well-formed UTF-8 sequence at the start of s (1 for ASCII), or 0 when it is
// not one (overlong forms, surrogates and code points above U+10FFFF included) or s is empty.
std::size_t Utf8SequenceLength(std::string_view s);

// True for a byte that starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The position of the first occurrence of needle in haystack at or after from that starts and
// ends on a character boundary of haystack (its end counts as one), or npos. Boundaries are
// found by reading haystack from its start, so a match of needle's bytes that begins on the
// trail byte of a double-byte character is not reported. An empty needle matches at the first
// boundary at or after from.
std::size_t Cp932Find(std::string_view haystack, std::string_view needle, std::size_t from = 0);

}  // namespace velmora::store
