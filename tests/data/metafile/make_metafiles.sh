#!/usr/bin/env bash
# Makes the metafiles of this folder from the small SVG drawings beside them
# with Inkscape's command line (Debian 12's Inkscape 1.2). Run once; the
# results are kept so that the tests do not need Inkscape.
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
    base="${svg%.svg}"
    inkscape --export-type=wmf --export-filename="$base.wmf" "$svg"
    inkscape --export-type=emf --export-filename="$base.emf" "$svg"
done
