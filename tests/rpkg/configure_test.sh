#!/bin/sh
# The R package's configure, run on a copy of r/mirl: it names what is
# missing with the Debian package that provides it and fails, and with
# everything there it writes src/config.mk naming the compilers as a
# checkout's build names them (so that ccache shares their objects).
# Usage: configure_test.sh <r/mirl directory>
set -u
pkg=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/mirl-configure-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $1" >&2; failures=$((failures + 1)); }

run() {  # run <name> [VAR=value...]: configure in a fresh copy; output in $work/<name>.out
  name=$1; shift
  rm -rf "$work/$name" && cp -R "$pkg" "$work/$name"
  (cd "$work/$name" && env "$@" ./configure) > "$work/$name.out" 2>&1
}

run no-cmake CMAKE=/nonexistent/cmake
[ $? -ne 0 ] || fail "configure without CMake succeeded"
grep -q "CMake 3.18 or later (apt-get install cmake)" "$work/no-cmake.out" ||
  fail "configure without CMake does not say so: $(cat "$work/no-cmake.out")"
[ ! -f "$work/no-cmake/src/config.mk" ] || fail "configure without CMake wrote config.mk"

# No gdal-config, and a pkg-config that knows no GDAL: GDAL alone is missing.
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 1\n' > "$work/bin/pkg-config"
chmod +x "$work/bin/pkg-config"
run no-gdal PATH="$work/bin:$PATH" GDAL_CONFIG=/nonexistent/gdal-config
[ $? -ne 0 ] || fail "configure without GDAL succeeded"
grep -q "GDAL with its development files.*apt-get install libgdal-dev" "$work/no-gdal.out" ||
  fail "configure without GDAL does not say so: $(cat "$work/no-gdal.out")"
[ "$(grep -c '^  - ' "$work/no-gdal.out")" -eq 1 ] ||
  fail "configure without GDAL names more than GDAL: $(cat "$work/no-gdal.out")"

run complete
[ $? -eq 0 ] || fail "configure failed with everything installed: $(cat "$work/complete.out")"
config=$work/complete/src/config.mk
grep -q "^CMAKE = /" "$config" || fail "config.mk has no cmake path"
if [ "$(readlink -f "$(command -v "$(R CMD config CXX17 | cut -d' ' -f1)")")" = \
     "$(readlink -f "$(command -v c++)")" ]; then
  grep -q "^MIRL_CXX = c++$" "$config" || fail "R's C++ compiler is c++ but config.mk says: $(grep MIRL_CXX "$config")"
fi

# R's flags decide by default; the build type adds only NDEBUG, and nothing
# turns warnings into errors on a user's machine.
grep -q "^MIRL_CONFIG_FLAGS = -DNDEBUG$" "$config" ||
  fail "default build type flags are not NDEBUG alone: $(grep MIRL_CONFIG_FLAGS "$config")"
r_flags=$(R CMD config CXX17FLAGS)
grep -qF -- "$r_flags" "$config" || fail "config.mk does not carry R's CXX17FLAGS ($r_flags)"
if grep -E -- "-Werror( |$)" "$config" >/dev/null; then
  fail "config.mk turns warnings into errors: $(grep -E -- '-Werror( |$)' "$config")"
fi
run own-flags MIRL_USE_R_FLAGS=no
grep -q "^MIRL_CONFIG_FLAGS = -O2 -g -DNDEBUG$" "$work/own-flags/src/config.mk" ||
  fail "MIRL_USE_R_FLAGS=no does not give the library's own flags"
grep -qF -- "$r_flags" "$work/own-flags/src/config.mk" &&
  fail "MIRL_USE_R_FLAGS=no still carries R's flags"

[ "$failures" -eq 0 ] && echo "configure_test: all cases passed"
exit "$failures"
