#!/bin/sh
# The committed help pages and NAMESPACE are what roxygen2 makes of the R
# sources: regenerated on a copy of the package, nothing may differ.
set -eu
pkg="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/mirl"
(cd "$pkg" && tar cf - --exclude=./src DESCRIPTION NAMESPACE R man) | (cd "$work/mirl" && tar xf -)
Rscript -e 'roxygen2::roxygenise(commandArgs(TRUE)[1], roclets = c("rd", "namespace"),
                                 load_code = roxygen2::load_source)' "$work/mirl" >/dev/null 2>&1
diff -r "$pkg/man" "$work/mirl/man"
diff "$pkg/NAMESPACE" "$work/mirl/NAMESPACE"
