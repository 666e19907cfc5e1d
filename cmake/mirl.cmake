# Helpers shared by every folder of the build.

# Our own code builds warning-clean. The R package's build leaves warnings to
# R's flags: a compiler newer than ours must not stop a user's installation.
function(mirl_warnings target)
  if(MIRL_R_PACKAGE)
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(MIRL_SANITIZE)
    # GCC 12's sanitizer instrumentation makes -Wmaybe-uninitialized report
    # false positives inside libstdc++ (std::regex, std::function).
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()

# Drops from the list <var> the files of the other platform: *_windows.cpp
# (and *_windows_test.cpp, *_windows_test.c) on POSIX, *_posix.cpp and the
# like on Windows.
function(mirl_platform_sources var)
  if(WIN32)
    list(FILTER ${var} EXCLUDE REGEX "_posix(_test)?\\.(cpp|c)$")
  else()
    list(FILTER ${var} EXCLUDE REGEX "_windows(_test)?\\.(cpp|c)$")
  endif()
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

# mirl_object_library(<name> [DEPENDS <subsystem>...] [LIBS <library>...])
# Builds every .cpp of the calling folder into the object library mirl_<name>.
# DEPENDS lists the subsystems whose headers it uses; LIBS the outside
# libraries its objects need at link time (recorded for mirl_link_objects).
function(mirl_object_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  mirl_platform_sources(srcs)
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(mirl_${name} OBJECT ${srcs})
  target_include_directories(mirl_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(mirl_${name} PUBLIC Boost::headers ${ARG_LIBS})
  mirl_warnings(mirl_${name})
  set_property(GLOBAL PROPERTY MIRL_SOURCES_${name} ${srcs})
  set_property(GLOBAL PROPERTY MIRL_DEPENDS_${name} ${ARG_DEPENDS})
  set_property(GLOBAL PROPERTY MIRL_LIBS_${name} ${ARG_LIBS})
endfunction()

# mirl_portable_twin(<name>)
# The sources of subsystem <name> built once more, into the object library
# mirl_<name>_portable, with MIRL_PORTABLE_KERNELS: without any x86 vector
# or assembly path, as other processors build them, so that an x86 build
# tests those paths too.
function(mirl_portable_twin name)
  get_property(srcs GLOBAL PROPERTY MIRL_SOURCES_${name})
  add_library(mirl_${name}_portable OBJECT ${srcs})
  target_include_directories(mirl_${name}_portable PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(mirl_${name}_portable PUBLIC Boost::headers)
  target_compile_definitions(mirl_${name}_portable PUBLIC MIRL_PORTABLE_KERNELS)
  mirl_warnings(mirl_${name}_portable)
endfunction()

# True when the target processor is an x86 (the build's, not the host's).
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
  set(MIRL_TARGET_X86 TRUE)
else()
  set(MIRL_TARGET_X86 FALSE)
endif()

# Collects <subsystems> and, recursively, what they depend on.
function(mirl_closure out)
  set(todo ${ARGN})
  set(done "")
  while(todo)
    list(POP_FRONT todo s)
    if(NOT s IN_LIST done)
      list(APPEND done ${s})
      get_property(deps GLOBAL PROPERTY MIRL_DEPENDS_${s})
      list(APPEND todo ${deps})
    endif()
  endwhile()
  set(${out} ${done} PARENT_SCOPE)
endfunction()

# mirl_link_objects(<target> <subsystem>...)
# Puts the objects of the subsystems and of everything they depend on into
# <target>, with their outside libraries. Object files (not a static library)
# so that nothing registered at static-initialisation time is dropped.
function(mirl_link_objects target)
  mirl_closure(all ${ARGN})
  foreach(s IN LISTS all)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:mirl_${s}>)
    get_property(libs GLOBAL PROPERTY MIRL_LIBS_${s})
    target_link_libraries(${target} PRIVATE ${libs})
  endforeach()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${target} PRIVATE Boost::headers Threads::Threads ${CMAKE_DL_LIBS})
endfunction()

# mirl_version_script(<target> <map> <r_init_source>)
# Exports the symbols of the version script <map> from <target> alone. In
# the R package's build also the C file <r_init_source> that registers
# <target> with R, R linked, and its R_init_ function exported.
function(mirl_version_script target map r_init_source)
  if(NOT MIRL_R_PACKAGE)
    target_link_options(${target} PRIVATE -Wl,--version-script=${map})
    return()
  endif()
  target_sources(${target} PRIVATE ${r_init_source})
  target_include_directories(${target} PRIVATE ${MIRL_R_INCLUDE_DIR})
  separate_arguments(r_link UNIX_COMMAND "${MIRL_R_LINK}")
  target_link_libraries(${target} PRIVATE ${r_link})
  file(READ ${map} symbols)
  string(REPLACE "global:" "global:\n    R_init_${target};" symbols "${symbols}")
  set(r_map ${CMAKE_CURRENT_BINARY_DIR}/${target}_r.map)
  file(WRITE ${r_map} "${symbols}")
  target_link_options(${target} PRIVATE -Wl,--version-script=${r_map})
endfunction()
