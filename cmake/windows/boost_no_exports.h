/* Force-included into every Windows translation unit that sees Boost (and
 * into the Boost libraries built for Windows). Boost marks some inline and
 * template functions dllexport so that a DLL built from them keeps them;
 * linked statically into mirl_lib.dll they would join its exports, which
 * must be the C entry points and nothing else. The object files are linked
 * whole, so nothing that registers itself at start-up is dropped anyway. */
#ifndef MIRL_CMAKE_WINDOWS_BOOST_NO_EXPORTS_H_
#define MIRL_CMAKE_WINDOWS_BOOST_NO_EXPORTS_H_

#include <boost/config.hpp>
#include <boost/serialization/force_include.hpp>

#undef BOOST_SYMBOL_EXPORT
#define BOOST_SYMBOL_EXPORT
#undef BOOST_DLLEXPORT
#define BOOST_DLLEXPORT

#endif
