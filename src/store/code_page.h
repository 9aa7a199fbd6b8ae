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
// code page 932 cannot read; 0 when every byte can be read. For the imports, which report such
// a line and let the user go on with the bytes as they are, or stop.
std::size_t FirstUnreadableLine(std::string_view text);

// The first n bytes of text (all of it when shorter). Counts bytes, not characters, so a
// double-byte character may be cut in two: a text(n) field keeps exactly n bytes.
std::string CutToBytes(std::string_view text, std::size_t n);

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
