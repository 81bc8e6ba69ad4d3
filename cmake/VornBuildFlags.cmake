# Compiler settings shared by every target of ours.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# Warnings are errors for our code only; third-party headers come in as
# system headers through imported targets.
add_library(vorn_warnings INTERFACE)
target_compile_options(vorn_warnings INTERFACE
  -Wall -Wextra -Werror -Wno-unused-parameter -Wno-missing-field-initializers
  $<$<COMPILE_LANGUAGE:CXX>:-Wno-cast-function-type>)

option(VORN_TSAN "Build with ThreadSanitizer (tests read tests/support/tsan.supp)" OFF)
if(VORN_TSAN AND VORN_SANITIZE)
  message(FATAL_ERROR "VORN_TSAN and VORN_SANITIZE exclude each other: configure one build folder for each")
endif()
if(VORN_TSAN)
  set(_vorn_tsan -fsanitize=thread -fno-omit-frame-pointer)
  add_compile_options(${_vorn_tsan})
  add_link_options(-fsanitize=thread)
endif()

if(VORN_SANITIZE)
  set(_vorn_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${_vorn_san})
  add_link_options(-fsanitize=address,undefined)
endif()

# vorn_library(<name> SOURCES ... [SHARED] [LINK ...]): one library of ours with the
# project's warnings, its folder on the include path, and the generated header.
function(vorn_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LINK;PUBLIC_INCLUDE" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_link_libraries(${name} PRIVATE vorn_warnings PUBLIC vorn_config ${ARG_LINK})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_PUBLIC_INCLUDE})
endfunction()
