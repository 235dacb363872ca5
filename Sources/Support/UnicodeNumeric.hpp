#pragma once
// Whether a character has a Unicode numeric value: the decimal digits of every script, and the
// other numerals (fractions, superscripts, circled and Roman numerals, ideographic numbers).
// Titles carry counts in whatever digits the user's language writes.

namespace velvix::unicode {

bool isNumeric(char32_t codePoint);

}  // namespace velvix::unicode
