// Text as a reader sees it: two spellings of one text in Unicode (a
// precomposed "ë", or "e" and a combining diaeresis, as some file systems
// and systems write names) are one text, and a character is a base with
// its combining marks, never a mark alone. From the Unicode Character
// Database's own tables.
#ifndef VEILMARK_TEXT_UNICODE_TEXT_H_
#define VEILMARK_TEXT_UNICODE_TEXT_H_

#include <cstddef>
#include <string>

// `utf8` in its canonical decomposition (Unicode's NFD): equal for texts
// that differ only in how their characters are composed. Bytes that are
// not UTF-8 stay as they are.
std::string CanonicalText(const std::string& utf8);

// Whether `a` and `b` are one text.
bool SameText(const std::string& a, const std::string& b);

// Where the first character of `utf8`, as a reader sees it (a grapheme
// cluster: a base with its combining marks, a Hangul syllable of its
// jamo), ends; 0 for an empty text.
size_t FirstCharacterEnd(const std::string& utf8);
// Where its last character starts.
size_t LastCharacterStart(const std::string& utf8);

#endif  // VEILMARK_TEXT_UNICODE_TEXT_H_
