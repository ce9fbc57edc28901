# The texts in each language, as the build makes them from po/: en.mo from the English template
# (po/orvane.pot, each msgstr its msgid), and <lang>.mo from every po/<lang>.po there is, so that a new
# file is a new language. msgfmt --check fails the build on a broken file.
find_program(MSGFMT msgfmt REQUIRED)
find_program(MSGEN msgen REQUIRED)
set(ORVANE_PO_DIR ${PROJECT_SOURCE_DIR}/po)

# The BCP-47 tag of po/<name>.po: pt_BR -> pt-BR, sr@latin -> sr.
function(orvane_text_tag po_name tag_var)
  string(REGEX REPLACE "@.*$" "" tag "${po_name}")
  string(REPLACE "_" "-" tag "${tag}")
  set(${tag_var} "${tag}" PARENT_SCOPE)
endfunction()

# Builds the catalogs of `PO_FILES` (the template always) into `DIR`; sets `MO_VAR` to the .mo files and
# `TAG_VAR` to their tags, in the same order.
function(orvane_text_catalogs)
  cmake_parse_arguments(ARG "" "DIR;MO_VAR;TAG_VAR" "PO_FILES" ${ARGN})
  set(english_po ${ARG_DIR}/en.po)
  add_custom_command(OUTPUT ${ARG_DIR}/en.mo
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_DIR}
    COMMAND ${MSGEN} --no-wrap --lang=en -o ${english_po} ${ORVANE_PO_DIR}/orvane.pot
    COMMAND ${MSGFMT} --check -o ${ARG_DIR}/en.mo ${english_po}
    DEPENDS ${ORVANE_PO_DIR}/orvane.pot
    COMMENT "English texts from the template")
  set(mo_files ${ARG_DIR}/en.mo)
  set(tags en)
  foreach(po ${ARG_PO_FILES})
    get_filename_component(name ${po} NAME_WE)
    orvane_text_tag(${name} tag)
    set(mo ${ARG_DIR}/${tag}.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_DIR}
      COMMAND ${MSGFMT} --check -o ${mo} ${po}
      DEPENDS ${po}
      COMMENT "Texts in ${tag} from ${name}.po")
    list(APPEND mo_files ${mo})
    list(APPEND tags ${tag})
  endforeach()
  set(${ARG_MO_VAR} ${mo_files} PARENT_SCOPE)
  set(${ARG_TAG_VAR} ${tags} PARENT_SCOPE)
endfunction()

# Every po/<lang>.po, found again when one is added or removed.
file(GLOB ORVANE_LANGUAGE_FILES CONFIGURE_DEPENDS ${ORVANE_PO_DIR}/*.po)
list(SORT ORVANE_LANGUAGE_FILES)

# An object library `TARGET` that puts the catalogs of the template and `PO_FILES` into the executable
# linking it, as resources (cmake/text_resources.cmake); the catalogs are built into `DIR`.
function(orvane_text_resources)
  cmake_parse_arguments(ARG "" "TARGET;DIR" "PO_FILES" ${ARGN})
  orvane_text_catalogs(DIR ${ARG_DIR} MO_VAR mo_files TAG_VAR tags PO_FILES ${ARG_PO_FILES})
  set(catalogs)
  foreach(mo tag IN ZIP_LISTS mo_files tags)
    list(APPEND catalogs "${tag}=${mo}")
  endforeach()
  set(rc ${ARG_DIR}/texts.rc)
  string(REPLACE ";" "\\;" catalogs_argument "${catalogs}")
  add_custom_command(OUTPUT ${rc}
    COMMAND ${CMAKE_COMMAND} "-DCATALOGS=${catalogs_argument}" -DOUT=${rc}
            -P ${PROJECT_SOURCE_DIR}/cmake/text_resources.cmake
    DEPENDS ${mo_files} ${PROJECT_SOURCE_DIR}/cmake/text_resources.cmake
    COMMENT "Resources of the texts in ${tags}")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${mo_files}")
  add_library(${ARG_TARGET} OBJECT ${rc})
endfunction()
