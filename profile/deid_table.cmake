# Writes OUT, the table profile/deid_table.cc is built with, from CSV: the
# rows of PS3.15 Annex E, Table E.1-1 as data (table-e1-1.csv: tag, name,
# retired, in standard IOD, the Basic Profile's action, then one column
# per option), each row as C++ initializers:
#   {"(0008,0050)", "Z", {"", "", ...}},
#   cmake -DCSV=table-e1-1.csv -DOUT=deid_table.inc -P deid_table.cmake
file(STRINGS "${CSV}" lines ENCODING UTF-8)
list(REMOVE_AT lines 0)  # the header
set(text "// Made by profile/deid_table.cmake from table-e1-1.csv.\n")
foreach(line IN LISTS lines)
  # The tag is quoted (it holds a comma), the name may be; no field holds a
  # quote of its own.
  string(REGEX MATCH "^\"(\\([0-9A-Fa-fxg]+,[0-9A-Fa-fxe]+\\))\",(\"[^\"]*\"|[^,]*),([^,]*),([^,]*),([^,]*),(.*)$" found "${line}")
  if(NOT found)
    message(FATAL_ERROR "table-e1-1.csv: a row that cannot be read: ${line}")
  endif()
  set(tag "${CMAKE_MATCH_1}")
  set(basic "${CMAKE_MATCH_5}")
  string(REPLACE "," "\", \"" options "${CMAKE_MATCH_6}")
  string(APPEND text "    {\"${tag}\", \"${basic}\", {\"${options}\"}},\n")
endforeach()
file(WRITE "${OUT}.new" "${text}")
file(RENAME "${OUT}.new" "${OUT}")
