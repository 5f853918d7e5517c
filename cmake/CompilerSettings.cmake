# project_target(<target>): the one place where our own targets get their
# warnings, sanitizer flags and include root. Third-party and system headers
# (GoogleTest, Qt, ICU) are included as SYSTEM so their warnings never fail us.

set(PROJECT_SANITIZER_FLAGS
    -fsanitize=address,undefined,float-cast-overflow
    -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

function(project_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  if(ENABLE_FUZZING)
    # Warnings are policed by the normal g++ trees; clang's additional
    # diagnostics must not stop a fuzz run of code that builds there.
    target_compile_options(${target} PRIVATE -Wno-error)
  endif()
  if(ENABLE_SANITIZERS)
    target_compile_options(${target} PRIVATE ${PROJECT_SANITIZER_FLAGS})
    target_link_options(${target} PRIVATE ${PROJECT_SANITIZER_FLAGS})
    # GCC 12 reports these two falsely once the sanitizers instrument the code;
    # they stay visible as warnings, everything else still fails the build.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE
        -Wno-error=maybe-uninitialized -Wno-error=stringop-overflow)
    endif()
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# project_test(<target> <sources...>): one gtest executable of a module's
# tests, linked with the shared test support library. Discovery runs before
# the tests, never at build time.
function(project_test target)
  add_executable(${target} ${ARGN})
  project_target(${target})
  target_link_libraries(${target} PRIVATE test_support GTest::gtest GTest::gmock)
endfunction()

# project_discover(<target>): registers the tests of a module executable with
# CTest. Suites whose names carry one of the group words get the matching
# label (e.g. "DiskFileMultiprocess" -> multiprocess); all other suites run
# unlabelled. One executable may thus hold several labels. A suite with two
# group words gets the first in the list below (each test is registered
# once): slow first, so long suites can always be told apart.
# Every test has a time limit, so a hang fails the run instead of stalling
# it: a minute for the damaged-input suites, which must answer each input
# quickly, five for the rest, and CTest's own default for the slow suites.
function(project_discover target)
  set(groups Slow=slow Multiprocess=multiprocess Crosscheck=crosscheck Malformed=malformed Gui=gui)
  set(timeout_slow 1500)
  set(timeout_malformed 60)
  set(timeout_default 300)
  set(earlier "")
  foreach(group IN LISTS groups)
    string(REPLACE "=" ";" pair ${group})
    list(GET pair 0 word)
    list(GET pair 1 label)
    if(DEFINED timeout_${label})
      set(timeout ${timeout_${label}})
    else()
      set(timeout ${timeout_default})
    endif()
    set(filter "*${word}*.*")
    if(earlier)
      list(JOIN earlier ":" negative)
      set(filter "${filter}-${negative}")
    endif()
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      TEST_FILTER "${filter}"
      PROPERTIES LABELS ${label} TIMEOUT ${timeout})
    list(APPEND earlier "*${word}*.*")
  endforeach()
  list(JOIN earlier ":" negative)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_FILTER "-${negative}"
    PROPERTIES TIMEOUT ${timeout_default})
endfunction()
