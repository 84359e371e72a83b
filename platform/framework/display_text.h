// Text as the edit boxes show it. The program's text is bytes; a box shows
// every valid UTF-8 sequence as its character and every other byte as the
// Latin-1 character of that value, so no byte is ever dropped or hidden.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_DISPLAY_TEXT_H_
#define VEILMARK_PLATFORM_FRAMEWORK_DISPLAY_TEXT_H_

#include <string>
#include <string_view>

// The characters a box shows for `bytes`.
std::u32string DecodeForDisplay(std::string_view bytes);

// True when no character of `bytes` could still grow by bytes added after
// it, so that the display of `bytes` followed by more bytes is the display
// of `bytes` followed by the display of the rest.
bool EndsOnCharacterBoundary(std::string_view bytes);

// The bytes of a box that showed `original` and now shows `edited`: the
// characters before and after the edited stretch keep their original
// bytes; the stretch itself is encoded in UTF-8.
std::string BytesAfterEdit(std::string_view original,
                           const std::u32string& edited);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_DISPLAY_TEXT_H_
