#pragma once

#include <string>

// Numbers written as words of text (an option's value, a word of a model
// file). A word is taken only when the whole of it is the number: "1x",
// "1.5.5" and " 2" are not numbers, and a count of "1.5" or "0x10" is not a
// whole number.

// A float as strtof reads it (decimal with an optional exponent, hexadecimal,
// inf, nan), rounded once to single precision. False when the word is empty
// or anything is left after the number. The value may be infinite or NaN
// (a word too large for a float reads as infinity): the caller decides.
bool parseFloatWord(const std::string& word, float& value);

enum class WholeWord { Ok, NotWhole, TooLarge };

// A whole decimal number: an optional sign and the digits 0-9 only. TooLarge
// when it lies outside `limit` in either direction (then `value` is `limit`
// with the word's sign).
WholeWord parseWholeWord(const std::string& word, long long limit, long long& value);

// The word as a message quotes it: in double quotes, characters outside
// printable ASCII as '?', and cut to 40 characters with "..." when longer.
std::string quotedWord(const std::string& word);
