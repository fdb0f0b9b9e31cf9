# Fails when a source file includes a header from a folder below which it
# does not stand, when the core includes Qt, or when the core above the
# platform includes a system's own headers.
#
#   cmake -DSOURCE_DIR=<project> -P cmake/check_layers.cmake

cmake_minimum_required(VERSION 3.22)

set(uses_platform platform)
set(uses_pairs pairs platform)
set(uses_engine engine pairs platform)
set(uses_schedule schedule platform)
set(uses_log log platform)
set(uses_program program engine pairs schedule log platform)
set(uses_bench bench engine pairs platform)
set(uses_app app program engine pairs schedule log platform)
set(uses_win win program engine pairs schedule log platform)
# Test helpers serve every folder's tests.
set(uses_testing testing app program engine pairs schedule log platform)
set(core platform pairs engine schedule log program)

set(faults "")
foreach(folder IN LISTS core ITEMS bench app win testing)
  file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    set(allowed ${uses_${folder}})
    if(file MATCHES "_(test|fuzz)\\.cpp$")
      list(APPEND allowed testing)
    endif()
    file(STRINGS ${file} includes REGEX "^#include")
    foreach(line IN LISTS includes)
      if(line MATCHES "^#include \"([a-z_]+)/")
        if(NOT CMAKE_MATCH_1 IN_LIST allowed)
          string(APPEND faults "\n  ${file}: ${line}")
        endif()
      elseif(line MATCHES "^#include <Q" AND folder IN_LIST core)
        string(APPEND faults "\n  ${file}: ${line} (the core does without Qt)")
      elseif(line MATCHES "^#include <(windows|winternl|unistd|fcntl|dirent|sys/)"
             AND folder IN_LIST core AND NOT folder STREQUAL "platform"
             AND NOT file MATCHES "_test\\.cpp$")
        string(APPEND faults "\n  ${file}: ${line} (the system shows only in platform/)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes against the layers:${faults}")
endif()
