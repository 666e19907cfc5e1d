#!/bin/sh
# Every include between the library's folders runs downwards:
#   exports -> gridapi, analysis, sysutil -> session -> transport, server
#   -> protocol -> logging -> platform, with gridserver beside the session,
#   over the server.
# A folder may include its own headers and those of the folders below it.
# The export declarations (exports/*.h) are the library's interface and may
# be included anywhere. Prints each include that runs the wrong way.
set -u
root="$1"
allowed() {
  case "$1" in
    platform) echo "platform" ;;
    logging) echo "logging platform" ;;
    protocol) echo "protocol logging platform" ;;
    transport) echo "transport protocol logging platform" ;;
    server) echo "server protocol logging platform" ;;
    session) echo "session transport server protocol logging platform" ;;
    gridserver) echo "server protocol logging platform" ;;
    gridapi | analysis | sysutil) echo "$1 session transport server protocol logging platform" ;;
    exports) echo "exports gridapi analysis sysutil session transport server protocol logging platform" ;;
  esac
}
status=0
for dir in "$root"/src/* "$root"/gridserver; do
  layer=$(basename "$dir")
  ok=$(allowed "$layer")
  [ -n "$ok" ] || { echo "unknown layer: $layer"; status=1; continue; }
  for file in $(find "$dir" -name '*.h' -o -name '*.cpp' -o -name '*.c'); do
    grep -o '^#include "[a-z_]*/[^"]*"' "$file" | sed 's/^#include "//; s/"$//' |
      while read -r inc; do
        target=${inc%%/*}
        case "$inc" in exports/*.h) continue ;; esac
        case " $ok " in *" $target "*) ;; *) echo "$file: $layer includes $inc" ;; esac
      done
  done
done > "${TMPDIR:-/tmp}/mirl_layers.$$"
if [ -s "${TMPDIR:-/tmp}/mirl_layers.$$" ]; then
  cat "${TMPDIR:-/tmp}/mirl_layers.$$"
  status=1
fi
rm -f "${TMPDIR:-/tmp}/mirl_layers.$$"
exit $status
