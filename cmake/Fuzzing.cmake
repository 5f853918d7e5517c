# The fuzz tree: every <module>/fuzz folder holds libFuzzer targets, one
# executable per *_fuzz.cpp, named after the file, so a new parser only drops
# its target there, with <name>_seeds.txt (one seed per line) or a
# <name>_seeds/ folder of seed files, and optionally <name>.dict and
# <name>.flags (one line of extra libFuzzer flags such as -max_len=4096);
# scripts/fuzz.sh and the fuzz phase of scripts/test.sh find them by these
# names beside the target's source.
#
# Built only in a clang tree configured with ENABLE_FUZZING=ON and
# CMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined", so every
# library is instrumented for coverage; only the targets link the fuzzer's
# own main. The normal trees never come here.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ENABLE_FUZZING needs clang (configure with CXX=clang++)")
endif()

add_custom_target(fuzz_targets)

# project_fuzz_targets(<libraries...>): the targets of the calling fuzz
# folder, each linked with the given libraries.
function(project_fuzz_targets)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzz_targets ${name})
  endforeach()
endfunction()

# Every module's fuzz folder, added after the libraries exist.
function(project_add_fuzz_folders)
  # Modules sit one or two levels down (dbase/, platform/gui/).
  file(GLOB_RECURSE lists CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/*/fuzz/CMakeLists.txt
       ${PROJECT_SOURCE_DIR}/*/*/fuzz/CMakeLists.txt)
  foreach(list IN LISTS lists)
    string(FIND "${list}" "${PROJECT_SOURCE_DIR}/build/" in_build)
    if(in_build EQUAL 0)
      continue()
    endif()
    get_filename_component(folder ${list} DIRECTORY)
    file(RELATIVE_PATH binary ${PROJECT_SOURCE_DIR} ${folder})
    add_subdirectory(${folder} ${CMAKE_BINARY_DIR}/${binary})
  endforeach()
endfunction()
