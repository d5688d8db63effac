#include "NumberWord.h"

#include <cctype>
#include <cstdlib>

bool parseFloatWord(const std::string& word, float& value) {
    // strtof would skip leading whitespace; a word has none.
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
    char* end = nullptr;
    const float v = std::strtof(word.c_str(), &end);
    // A NUL inside the word also stops the number before the word's end.
    if (end != word.c_str() + word.size()) return false;
    value = v;
    return true;
}

WholeWord parseWholeWord(const std::string& word, long long limit, long long& value) {
    size_t i = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) i = 1;
    if (i == word.size()) return WholeWord::NotWhole;
    long long v = 0;
    bool tooLarge = false;
    for (; i < word.size(); ++i) {
        const char c = word[i];
        if (c < '0' || c > '9') return WholeWord::NotWhole;
        if (!tooLarge && v > (limit - (c - '0')) / 10) tooLarge = true;
        if (!tooLarge) v = v * 10 + (c - '0');
    }
    value = negative ? -(tooLarge ? limit : v) : (tooLarge ? limit : v);
    return tooLarge ? WholeWord::TooLarge : WholeWord::Ok;
}

std::string quotedWord(const std::string& word) {
    constexpr size_t kShown = 40;
    std::string q = "\"";
    for (size_t i = 0; i < word.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        q += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    }
    if (word.size() > kShown) q += "...";
    return q + "\"";
}
