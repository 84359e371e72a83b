# Writes OUT, the tables text/unicode_text.cc is built with, from the
# Unicode Character Database: canonical decompositions and combining
# classes (UnicodeData.txt), and the grapheme cluster break properties
# (GraphemeBreakProperty.txt) that decide where one character as a reader
# sees it ends.
#   cmake -DDATA=UnicodeData.txt -DBREAKS=GraphemeBreakProperty.txt \
#     -DOUT=unicode_tables.inc -P unicode_tables.cmake
file(STRINGS "${DATA}" decompositions
  REGEX "^[0-9A-F]+;[^;]*;[^;]*;[^;]*;[^;]*;[0-9A-F]")
file(STRINGS "${DATA}" classes REGEX "^[0-9A-F]+;[^;]*;[^;]*;[1-9][0-9]*;")
file(STRINGS "${BREAKS}" breaks
  REGEX "^[0-9A-F]+(\\.\\.[0-9A-F]+)? *; (Extend|SpacingMark|ZWJ|Prepend|L|V|T|Control|CR|LF|Regional_Indicator) ")

set(text "// Made by text/unicode_tables.cmake from the Unicode Character Database.\n")
string(APPEND text "const Decomposition kDecompositions[] = {\n")
foreach(line IN LISTS decompositions)
  string(REGEX MATCH "^([0-9A-F]+);[^;]*;[^;]*;[^;]*;[^;]*;([0-9A-F]+) ?([0-9A-F]*);" _ "${line}")
  set(second "${CMAKE_MATCH_3}")
  if(second STREQUAL "")
    set(second "0")
  endif()
  string(APPEND text "    {0x${CMAKE_MATCH_1}, 0x${CMAKE_MATCH_2}, 0x${second}},\n")
endforeach()
string(APPEND text "};\nconst CombiningClass kCombiningClasses[] = {\n")
foreach(line IN LISTS classes)
  string(REGEX MATCH "^([0-9A-F]+);[^;]*;[^;]*;([0-9]+);" _ "${line}")
  string(APPEND text "    {0x${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}},\n")
endforeach()
string(APPEND text "};\nconst BreakRange kBreakRanges[] = {\n")
set(ranges "")
foreach(line IN LISTS breaks)
  string(REGEX MATCH "^([0-9A-F]+)(\\.\\.([0-9A-F]+))? *; ([A-Za-z_]+)" _ "${line}")
  set(first "${CMAKE_MATCH_1}")
  set(last "${CMAKE_MATCH_3}")
  if(last STREQUAL "")
    set(last "${first}")
  endif()
  # Sorted by their first code point, as the lookup needs: padded to six
  # digits, which sort as numbers.
  string(LENGTH "${first}" digits)
  math(EXPR pad "6 - ${digits}")
  string(REPEAT "0" ${pad} zeros)
  list(APPEND ranges "${zeros}${first}|${last}|${CMAKE_MATCH_4}")
endforeach()
list(SORT ranges)
foreach(range IN LISTS ranges)
  string(REPLACE "|" ";" parts "${range}")
  list(GET parts 0 first)
  list(GET parts 1 last)
  list(GET parts 2 kind)
  string(APPEND text "    {0x${first}, 0x${last}, Break::k${kind}},\n")
endforeach()
string(APPEND text "};\n")
string(REPLACE "Break::kRegional_Indicator" "Break::kRegionalIndicator" text "${text}")
string(REPLACE "Break::kZWJ" "Break::kZwj" text "${text}")
string(REPLACE "Break::kCR" "Break::kControl" text "${text}")
string(REPLACE "Break::kLF" "Break::kControl" text "${text}")
file(WRITE "${OUT}.new" "${text}")
file(RENAME "${OUT}.new" "${OUT}")
