# Read by CTest as it starts (through TEST_INCLUDE_FILES, see test_suites.cmake): adds one test per
# GoogleTest suite of `program`, as the program itself lists them. Set before it: program, list_file,
# lister (the emulator, or empty), runner (what runs the program), prefix, case_timeout, lock, only,
# except, cmake.

if(NOT EXISTS "${program}")
  add_test("${prefix}NOT_BUILT_${program}" "${program}")
  return()
endif()

# The listing is asked once per build of the program (two calls for one program share it).
if(NOT EXISTS "${list_file}" OR "${program}" IS_NEWER_THAN "${list_file}")
  execute_process(COMMAND ${lister} "${program}" --gtest_list_tests
                  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 120)
  if(NOT status EQUAL 0)
    # A test that fails and says why, rather than a run that silently has no tests of this program.
    file(REMOVE "${list_file}")
    string(REPLACE "\n" " | " errors "${errors}")
    add_test("${prefix}NOT_LISTED" "${cmake}" -E echo "listing ${program} failed (${status}): ${errors}")
    set_tests_properties("${prefix}NOT_LISTED" PROPERTIES WILL_FAIL TRUE)
    return()
  endif()
  file(WRITE "${list_file}" "${listing}")
endif()
file(STRINGS "${list_file}" lines)

# "Suite." on a line of its own, then its cases indented by two blanks; a comment may follow either
# (typed and value-parameterised tests).
set(suites "")
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    if((only AND NOT suite MATCHES "${only}") OR (except AND suite MATCHES "${except}"))
      set(suite "")
      continue()
    endif()
    list(APPEND suites "${suite}")
    set(cases_${suite} 0)
  elseif(suite AND line MATCHES "^  [A-Za-z0-9_/]+")
    math(EXPR cases_${suite} "${cases_${suite}} + 1")
  endif()
endforeach()

foreach(suite IN LISTS suites)
  set(name "${prefix}${suite}")
  add_test("${name}" ${runner} "${program}" "--gtest_filter=${suite}.*")
  math(EXPR timeout "${cases_${suite}} * ${case_timeout}")
  set_tests_properties("${name}" PROPERTIES TIMEOUT ${timeout})
  if(lock)
    set_tests_properties("${name}" PROPERTIES RESOURCE_LOCK "${lock}")
  endif()
endforeach()
