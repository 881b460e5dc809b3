# Writes the simple case folding of Unicode (statuses C and S of CaseFolding.txt) as C++ initialisers,
# one {code point, folded code point} pair a line, in the file's order (by code point).
#   cmake -DSOURCE=/usr/share/unicode/CaseFolding.txt -DOUTPUT=case_folding_table.inc -P case_folding.cmake
file(STRINGS "${SOURCE}" lines REGEX "^[0-9A-F]+; [CS]; [0-9A-F]+;")
file(STRINGS "${SOURCE}" version LIMIT_COUNT 1)
string(REGEX REPLACE "^# *" "" version "${version}")
set(table "// Made by cmake/case_folding.cmake from ${version}; do not edit.\n")
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([0-9A-F]+); [CS]; ([0-9A-F]+);" pair "${line}")
  string(APPEND table "{0x${CMAKE_MATCH_1}, 0x${CMAKE_MATCH_2}},\n")
endforeach()
list(LENGTH lines count)
if(count LESS 1000)
  message(FATAL_ERROR "${SOURCE} holds only ${count} simple case foldings")
endif()
file(WRITE "${OUTPUT}.new" "${table}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
