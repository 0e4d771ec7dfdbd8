#!/usr/bin/env bash
# The layers include downwards only, and a file's folder says who uses it:
#   raster/  flakes/  settings/        the portable core, in that order
#   host/shared/                       every host (and kivo-render)
#   host/win32_logic/                  the Windows saver's portable decisions
#   host/posix/                        both Linux hosts; host/lock/ the lock's pieces (on posix/)
#   host/x11/ host/wayland/ host/win32/  one host each, never another host's files
#   host/kivo/                         kivo's entry: the one folder that sees two hosts
#   layering_test.sh SOURCE_DIR
set -u
cd "$1" || exit 1
. tests/e2e/lib.sh
includes() { git ls-files -co --exclude-standard ":(glob)$1" | grep -E '\.(h|cpp)$' | xargs -r grep -h -o -E '#include "[^"]+"' | sed 's/#include "//; s/"//'; }
only() {  # FOLDER ALLOWED-PREFIXES-REGEX
  local bad; bad=$(includes "$1" | grep -v -E "^($2)" | sort -u | tr '\n' ' ')
  check "$1 includes only ${2//|/, } (not: ${bad:-none})" [ -z "$bad" ]
}
core='raster/|flakes/|settings/|kivo_version'
protocols='[a-z0-9-]+-client-protocol\.h'
check "no source file lies loose in host/" [ -z "$(git ls-files -co --exclude-standard 'host/*.h' 'host/*.cpp' | grep -v '^host/.*/')" ]
only 'raster/**' 'raster/'
only 'flakes/**' 'raster/|flakes/'
only 'settings/**' 'raster/|flakes/|settings/|resources/'
only 'host/shared/**' "$core|host/shared/"
only 'host/win32_logic/**' "$core|host/shared/|host/win32_logic/"
only 'host/posix/**' "$core|host/shared/|host/posix/"
only 'host/lock/**' "$core|host/shared/|host/posix/|host/lock/"
only 'host/x11/**' "$core|host/shared/|host/posix/|host/x11/"
only 'host/wayland/**' "$core|host/shared/|host/posix/|host/lock/|host/wayland/|$protocols"
only 'host/win32/**' "$core|host/shared/|host/win32_logic/|host/win32/|resources/"
only 'host/kivo/**' 'host/posix/|host/x11/|host/wayland/'
only 'tools/**' "$core|host/shared/|tools/"
finish
