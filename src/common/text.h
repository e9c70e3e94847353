#pragma once

#include <QString>

namespace tallyra {

// Replaces every occurrence of `find`, resuming after each inserted replacement, so a
// replacement that contains `find` does not loop. Empty `find` or `find == replacement`
// leaves the text as it is.
QString ReplaceAll(const QString& text, const QString& find, const QString& replacement);

// The numeric value of a text as the data files' writers meant it: blanks anywhere are
// skipped, then the longest leading decimal number (sign, digits, one point, exponent) is
// taken; a text with no leading number is 0.
double NumericValue(const QString& text);

// Whole-text, case-sensitive pattern match: "*" any run, "?" one character, "#" one digit,
// "[abc]" / "[a-z]" one character of the list, "[!x]" one character not in it. Works on
// Unicode code points so Chinese names match character by character.
bool WildcardMatch(const QString& text, const QString& pattern);

// Each "0" before the first other character becomes a blank ("005" -> "  5").
QString BlankLeadingZeros(const QString& digits);

// Board mark of a day status: -1 "√", 9999 "×", other positive "○" + minutes late, else "".
QString StatusMark(int status);

// Removes blanks (U+0020 only) at both ends; other white space is data.
QString TrimBlanks(const QString& text);

// Value formatted with at least `width` digits, zero padded, sign in front ("-05").
QString ZeroPadded(qint64 value, int width);

}  // namespace tallyra
