# One CTest test per GoogleTest suite: the suite's cases run in one process (under Wine, starting a
# process costs more than most cases do), one after another, each with its own fixture.
#
#   orvane_add_test_suites(TARGET exe SOURCES file... [PREFIX text] [CASE_TIMEOUT seconds]
#                          [LOCK resource] [COMMAND_PREFIX program...] [ONLY regex] [EXCEPT regex])
#
# The suites are read from the sources' TEST and TEST_F lines; ONLY and EXCEPT choose among them by
# name. A suite's timeout is CASE_TIMEOUT (60 s by default) for each of its cases. LOCK gives every
# suite that resource lock. COMMAND_PREFIX runs the executable through those programs instead of the
# cross-compiling emulator.
function(orvane_add_test_suites)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;PREFIX;CASE_TIMEOUT;LOCK;ONLY;EXCEPT" "SOURCES;COMMAND_PREFIX")
  if(NOT arg_CASE_TIMEOUT)
    set(arg_CASE_TIMEOUT 60)
  endif()
  set(suites "")
  foreach(source IN LISTS arg_SOURCES)
    if(NOT IS_ABSOLUTE "${source}")
      set(source "${CMAKE_CURRENT_SOURCE_DIR}/${source}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    file(STRINGS "${source}" lines REGEX "^TEST(_F)?\\(")
    foreach(line IN LISTS lines)
      if(line MATCHES "^TEST(_F)?\\(([A-Za-z0-9_]+),")
        set(suite "${CMAKE_MATCH_2}")
        if((arg_ONLY AND NOT suite MATCHES "${arg_ONLY}") OR (arg_EXCEPT AND suite MATCHES "${arg_EXCEPT}"))
          continue()
        endif()
        if(NOT DEFINED cases_${suite})
          list(APPEND suites "${suite}")
          set(cases_${suite} 0)
        endif()
        math(EXPR cases_${suite} "${cases_${suite}} + 1")
      endif()
    endforeach()
  endforeach()

  foreach(suite IN LISTS suites)
    set(name "${arg_PREFIX}${suite}")
    if(arg_COMMAND_PREFIX)
      add_test(NAME ${name} COMMAND ${arg_COMMAND_PREFIX} $<TARGET_FILE:${arg_TARGET}> --gtest_filter=${suite}.*)
    else()
      add_test(NAME ${name} COMMAND ${arg_TARGET} --gtest_filter=${suite}.*)
    endif()
    math(EXPR timeout "${cases_${suite}} * ${arg_CASE_TIMEOUT}")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})
    if(arg_LOCK)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${arg_LOCK})
    endif()
  endforeach()
endfunction()
