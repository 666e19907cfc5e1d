# Boost for a Windows cross build: Debian's headers (through a directory that
# holds only boost/, so that no Linux header is ever seen) and the static
# Serialization and Filesystem libraries that scripts/build-windows built
# for this target. Stands in for find_package(Boost) with the same target
# names; System and Date_Time are header-only in this release.
set(MIRL_WINDOWS_BOOST_INCLUDE "" CACHE PATH "Directory holding boost/ (headers)")
set(MIRL_WINDOWS_BOOST_LIB "" CACHE PATH "Directory of this target's static Boost libraries")
foreach(lib serialization filesystem)
  if(NOT EXISTS ${MIRL_WINDOWS_BOOST_LIB}/libboost_${lib}.a)
    message(FATAL_ERROR "libboost_${lib}.a not found in '${MIRL_WINDOWS_BOOST_LIB}'; "
                        "build through scripts/build --windows")
  endif()
endforeach()

add_library(Boost::headers INTERFACE IMPORTED)
set_target_properties(Boost::headers PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${MIRL_WINDOWS_BOOST_INCLUDE}
  # Asio's Windows 7 API level; no auto-linking pragmas (GCC has none).
  INTERFACE_COMPILE_DEFINITIONS "BOOST_ALL_NO_LIB;_WIN32_WINNT=0x0601"
  INTERFACE_COMPILE_OPTIONS "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/boost_no_exports.h")
foreach(lib serialization filesystem)
  add_library(Boost::${lib} STATIC IMPORTED)
  set_target_properties(Boost::${lib} PROPERTIES
    IMPORTED_LOCATION ${MIRL_WINDOWS_BOOST_LIB}/libboost_${lib}.a
    INTERFACE_LINK_LIBRARIES Boost::headers)
endforeach()
foreach(lib system date_time)
  add_library(Boost::${lib} INTERFACE IMPORTED)
  set_target_properties(Boost::${lib} PROPERTIES INTERFACE_LINK_LIBRARIES Boost::headers)
endforeach()
# Asio's sockets.
set_property(TARGET Boost::headers APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 mswsock)
