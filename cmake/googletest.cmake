# GoogleTest, built from its sources with the project's own compiler (the Windows tests are
# cross-compiled, so a prebuilt library of the host would not do). Debian's googletest package puts the
# sources in /usr/src/googletest; GOOGLETEST_SOURCE_DIR points elsewhere.
include_guard(GLOBAL)
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source folder")
if(NOT EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are not in ${GOOGLETEST_SOURCE_DIR}: install the Debian package "
                      "googletest, or set GOOGLETEST_SOURCE_DIR")
endif()
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
