# Makes the names of the program's texts from the English template (po/orvane.pot): text/ids.h, an enum
# with one name per msgctxt (Report.MailProgramMissing.NoKey becomes Id::kReport_MailProgramMissing_NoKey),
# and text/ids.cpp, each name's catalog key and its English. A text the code names that the template
# no longer has fails the compile. The installer's texts (msgctxt "Installer.*") are not the program's.
# Run as: cmake -DTEMPLATE=orvane.pot -DOUT_DIR=<dir> -P text_ids.cmake
cmake_minimum_required(VERSION 3.25)
file(READ "${TEMPLATE}" content)
# CMake lists split on ';' and keep '[' ']' together: stand-ins keep the texts whole while they are lines.
string(REPLACE ";" "@SEMICOLON@" content "${content}")
string(REPLACE "[" "@OPEN@" content "${content}")
string(REPLACE "]" "@CLOSE@" content "${content}")
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(names)
set(englishes)
set(context "")
set(has_context FALSE)
set(english "")
set(state none)
set(line_number 0)
foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  if(line MATCHES "^msgctxt \"(.*)\"$")
    set(context "${CMAKE_MATCH_1}")
    set(has_context TRUE)
    set(state context)
  elseif(line MATCHES "^msgid \"(.*)\"$")
    set(english "${CMAKE_MATCH_1}")
    set(state id)
  elseif(line MATCHES "^msgstr \"(.*)\"$")
    if(NOT english STREQUAL "" OR has_context)  # the header entry has neither
      if(NOT has_context)
        message(FATAL_ERROR "${TEMPLATE}:${line_number}: a text without a name (msgctxt)")
      endif()
      if(NOT context MATCHES "^[A-Za-z][A-Za-z0-9_.]*$")
        message(FATAL_ERROR "${TEMPLATE}:${line_number}: \"${context}\" cannot name a text")
      endif()
      if(NOT context MATCHES "^Installer\\.")
        if(context IN_LIST names)
          message(FATAL_ERROR "${TEMPLATE}:${line_number}: \"${context}\" names two texts")
        endif()
        list(APPEND names "${context}")
        list(APPEND englishes "${english}")
      endif()
    endif()
    set(context "")
    set(has_context FALSE)
    set(english "")
    set(state str)
  elseif(line MATCHES "^\"(.*)\"$")
    if(state STREQUAL "context")
      string(APPEND context "${CMAKE_MATCH_1}")
    elseif(state STREQUAL "id")
      string(APPEND english "${CMAKE_MATCH_1}")
    endif()
  else()
    set(state none)
  endif()
endforeach()

list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "${TEMPLATE}: no texts")
endif()

set(enumerators "")
set(keys "")
set(texts "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET names ${i} name)
  list(GET englishes ${i} english)
  string(REPLACE "." "_" identifier "${name}")
  string(APPEND enumerators "  k${identifier},\n")
  string(APPEND keys "    \"${name}\",\n")
  # The template's escapes (\", \\, \n) are C's, so its text is already a C string literal's.
  string(APPEND texts "    \"${english}\",\n")
endforeach()
foreach(var enumerators keys texts)
  string(REPLACE "@SEMICOLON@" ";" ${var} "${${var}}")
  string(REPLACE "@OPEN@" "[" ${var} "${${var}}")
  string(REPLACE "@CLOSE@" "]" ${var} "${${var}}")
endforeach()

set(header "#pragma once
// Made from po/orvane.pot by cmake/text_ids.cmake when the build runs: edit the template, not this.

#include <cstddef>
#include <string_view>

namespace text {

// Every text the program shows, by its name in the catalogs (msgctxt).
enum class Id : unsigned short {
${enumerators}};

inline constexpr std::size_t kTextCount = ${count};

// The text's name in the catalogs: \"Report.MailProgramMissing.NoKey\".
std::string_view NameOf(Id id);

// The text in English as the template has it: UTF-8, with \\n line breaks.
std::string_view EnglishOf(Id id);

}  // namespace text
")
set(source "// Made from po/orvane.pot by cmake/text_ids.cmake when the build runs: edit the template, not this.
#include \"text/ids.h\"

namespace text {

namespace {

constexpr std::string_view kNames[kTextCount] = {
${keys}};

constexpr std::string_view kEnglish[kTextCount] = {
${texts}};

}  // namespace

std::string_view NameOf(Id id) { return kNames[static_cast<std::size_t>(id)]; }

std::string_view EnglishOf(Id id) { return kEnglish[static_cast<std::size_t>(id)]; }

}  // namespace text
")
# Written only when changed, so that a template edit that keeps the names rebuilds only what must.
file(WRITE "${OUT_DIR}/text/ids.h.new" "${header}")
file(WRITE "${OUT_DIR}/text/ids.cpp.new" "${source}")
foreach(name ids.h ids.cpp)
  file(COPY_FILE "${OUT_DIR}/text/${name}.new" "${OUT_DIR}/text/${name}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUT_DIR}/text/${name}.new")
endforeach()
