# One CTest test per GoogleTest suite: the suite's cases run in one process (under Wine, starting a
# process costs more than most cases do), one after another, each with its own fixture.
#
#   orvane_add_test_suites(TARGET exe [PREFIX text] [CASE_TIMEOUT seconds] [LOCK resource]
#                          [COMMAND_PREFIX program...] [ONLY regex] [EXCEPT regex])
#
# The suites are those the built program lists (--gtest_list_tests), asked when CTest starts, as
# gtest_discover_tests does in its PRE_TEST mode: a case added, renamed or defined through a macro
# is found without a second list to keep. ONLY and EXCEPT choose among the suites by name. A suite's
# timeout is CASE_TIMEOUT (60 s by default) for each of its cases. LOCK gives every suite that
# resource lock. COMMAND_PREFIX runs the executable through those programs instead of the
# cross-compiling emulator.
set(ORVANE_DISCOVER_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/test_suites_discover.cmake)

function(orvane_add_test_suites)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;PREFIX;CASE_TIMEOUT;LOCK;ONLY;EXCEPT" "COMMAND_PREFIX")
  if(NOT arg_CASE_TIMEOUT)
    set(arg_CASE_TIMEOUT 60)
  endif()
  if(arg_COMMAND_PREFIX)
    set(run ${arg_COMMAND_PREFIX})
  else()
    set(run ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  # One include file per call; the listing itself is kept once per program and reused while the
  # program is unchanged.
  get_property(count DIRECTORY PROPERTY ORVANE_SUITE_CALLS)
  if(NOT count)
    set(count 0)
  endif()
  math(EXPR count "${count} + 1")
  set_property(DIRECTORY PROPERTY ORVANE_SUITE_CALLS ${count})
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}_suites_${count}.cmake")
  file(GENERATE OUTPUT "${include_file}" CONTENT
"set(program [==[$<TARGET_FILE:${arg_TARGET}>]==])
set(list_file [==[${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}_gtest_list.txt]==])
set(lister [==[${CMAKE_CROSSCOMPILING_EMULATOR}]==])
set(runner [==[${run}]==])
set(prefix [==[${arg_PREFIX}]==])
set(case_timeout [==[${arg_CASE_TIMEOUT}]==])
set(lock [==[${arg_LOCK}]==])
set(only [==[${arg_ONLY}]==])
set(except [==[${arg_EXCEPT}]==])
set(cmake [==[${CMAKE_COMMAND}]==])
include([==[${ORVANE_DISCOVER_SUITES_SCRIPT}]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
