// The character set a dataset declares in its Specific Character Set
// (0008,0005), and text values read in it as characters: decoded to UTF-8
// and encoded back, code extensions (ISO 2022 escape sequences) included.
// The bytes of each character set come from the system's tables
// (platform/system/code_page.h); what is done here is which table applies
// where.
#ifndef VEILMARK_TEXT_CHARACTER_SET_H_
#define VEILMARK_TEXT_CHARACTER_SET_H_

#include <string>
#include <vector>

#include "platform/system/code_page.h"

class CharacterSet {
 public:
  // Reads `declared`, the value of (0008,0005) as stored (empty when the
  // dataset has none: the default repertoire). False, with the term that is
  // not known in `error`, for a declaration this program cannot read.
  bool Parse(const std::string& declared, std::string* error);

  // The defined terms as declared, for messages.
  const std::string& Declared() const { return declared_; }

  // The bytes of the first value of `value`, a text value in this
  // character set, with its trailing blanks removed.
  std::string FirstValue(const std::string& value) const;

  // Decodes `bytes`, one value, to UTF-8. False when they are not valid
  // text in this character set; escape sequences are, only where the
  // declaration is of ISO 2022 terms. A dataset that declares no character
  // set but holds bytes beyond ASCII is read as ISO 8859-1, as DICOM
  // readers commonly do.
  bool Decode(const std::string& bytes, std::string* utf8) const;

  // Encodes `utf8` in this character set so that it decodes back to the
  // same text; with code extensions, as DICOM writes them: each character
  // in the first declared set that has it, the sets of the first term
  // invoked again before every delimiter and at the end. The bytes of a
  // value that decodes to this text may differ only in escape sequences
  // that change nothing. False when some character has
  // no place in it. With `declaredOnly`, a dataset without a declaration
  // takes ASCII alone (what it declares), not ISO 8859-1.
  bool Encode(const std::string& utf8, std::string* bytes,
              bool declaredOnly = false) const;

  // A set that can be invoked: its escape sequence, the register it goes
  // to and its bytes per character.
  struct Graphic {
    const char* escape;
    bool g1;    // G1 (bytes 0xA0 and above), or G0
    int width;  // bytes per character
    CodePage page;
    // For a two-byte G0 set, read through EUC-JP: the byte before each
    // character there (0x8F for JIS X 0212), or 0.
    char lead;
  };

 private:
  struct State {
    const Graphic* g0;
    const Graphic* g1;
  };
  bool DecodeExtended(const std::string& bytes, std::string* utf8) const;
  bool EncodeExtended(const std::string& utf8, std::string* bytes) const;
  // The bytes of `character` in `set`, or false when it has none.
  static bool Place(const Graphic& set, const std::string& character,
                    std::string* bytes);

  std::string declared_;
  // Without code extensions: the one code page of the whole value.
  bool extended_ = false;
  bool undeclared_ = true;
  CodePage page_ = CodePage::kAscii;
  // With them: the sets that may be invoked, and those invoked at the start
  // of the value and after each delimiter.
  std::vector<const Graphic*> sets_;
  State initial_{nullptr, nullptr};
};

#endif  // VEILMARK_TEXT_CHARACTER_SET_H_
