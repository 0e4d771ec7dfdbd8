#!/usr/bin/env bash
# The layers include downwards only: raster knows nothing above it, flakes
# only raster, settings the core, the shared host code no host, and no host
# another host's files or the tools (kivo's entry alone sees its two hosts).
#   layering_test.sh SOURCE_DIR
set -u
cd "$1" || exit 1
. tests/e2e/lib.sh
includes() { git ls-files -co --exclude-standard ":(glob)$1" | grep -E '\.(h|cpp)$' | xargs -r grep -h -o -E '#include "[^"]+"' | sed 's/#include "//; s/"//'; }
only() {  # FOLDER ALLOWED-PREFIXES-REGEX
  local bad; bad=$(includes "$1" | grep -v -E "^($2)" | sort -u | tr '\n' ' ')
  check "$1 includes only ${2//|/, } (not: ${bad:-none})" [ -z "$bad" ]
}
only 'raster/**' 'raster/'
only 'flakes/**' 'raster/|flakes/'
only 'settings/**' 'raster/|flakes/|settings/|resources/'
only 'host/*.h' 'raster/|flakes/|settings/|host/[a-z_]+\.h|kivo_version'
only 'host/*.cpp' 'raster/|flakes/|settings/|host/[a-z_]+\.h|kivo_version'
for host in x11 win32 posix wayland; do
  [ -d "host/$host" ] && only "host/$host/**" "raster/|flakes/|settings/|host/[a-z_]+\.h|host/$host/|host/posix/|kivo_version|resources/|[a-z0-9-]+-client-protocol\\.h"
done
# kivo's entry picks a host: the one folder that sees two of them.
only 'host/kivo/**' 'host/posix/|host/x11/|host/wayland/'
only 'tools/**' 'raster/|flakes/|settings/|host/[a-z_]+\.h|tools/|kivo_version'
finish
