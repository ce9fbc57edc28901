# Writes the resource script that puts each language's catalog into an executable: one resource of type
# MO per language, named by its tag (EN, DE, PT-BR; resource names are upper case), neutral in the
# resources' own language so that finding it never depends on the thread's language. The names stand
# unquoted: windres joins a quoted name to the file name on the line before. A catalog that
# translates nothing yet (msgfmt leaves only its header entry) is not a language Orvane offers, and is
# left out; English always goes in.
# Run as: cmake "-DCATALOGS=en=/path/en.mo;de=/path/de.mo" -DOUT=texts.rc -P text_resources.cmake
cmake_minimum_required(VERSION 3.25)
set(script "// Made by cmake/text_resources.cmake when the build runs.\nLANGUAGE 0, 0\n")
foreach(pair IN LISTS CATALOGS)
  string(REGEX MATCH "^([^=]+)=(.*)$" matched "${pair}")
  set(tag "${CMAKE_MATCH_1}")
  set(mo "${CMAKE_MATCH_2}")
  # The number of entries, in the byte order the magic number 0x950412de is written in.
  file(READ "${mo}" magic LIMIT 4 HEX)
  file(READ "${mo}" count OFFSET 8 LIMIT 4 HEX)
  if(magic STREQUAL "de120495")
    string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" count "${count}")
  elseif(NOT magic STREQUAL "950412de")
    message(FATAL_ERROR "${mo} is not a catalog")
  endif()
  math(EXPR count "0x${count}")
  if(count LESS_EQUAL 1 AND NOT tag STREQUAL "en")
    message(STATUS "Texts in ${tag}: nothing translated yet, so not offered")
    continue()
  endif()
  string(TOUPPER "${tag}" name)
  if(NOT name MATCHES "^[A-Z][A-Z0-9-]*$")
    message(FATAL_ERROR "${mo}: \"${tag}\" cannot name a resource")
  endif()
  string(APPEND script "${name} MO \"${mo}\"\n")
endforeach()
file(WRITE "${OUT}" "${script}")
