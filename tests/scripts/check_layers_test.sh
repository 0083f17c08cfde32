#!/usr/bin/env bash
# scripts/check-layers on a copy of the tree: quiet and 0 on the tree as it
# is; 1, naming the file, line and layers, once an upward include is planted.
set -euo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for d in platform core link processing files maintenance ui cli sim; do cp -r "$src/$d" "$tmp/"; done
out=$("$src/scripts/check-layers" "$tmp") || { echo "the tree itself fails:"; echo "$out"; exit 1; }
[ -z "$out" ] || { echo "unexpected output: $out"; exit 1; }
n=$(wc -l <"$tmp/link/status.cpp")
echo '#include "ui/screens.h"' >>"$tmp/link/status.cpp"
echo '#include "files/naming.h"' >>"$tmp/sim/unit.h"
# Only the plot command of the CLI may draw with the Qt view.
echo '#include "ui/qt/plot_view.h"' >>"$tmp/cli/file_commands.cpp"
if out=$("$src/scripts/check-layers" "$tmp"); then
  echo "an upward include passed"
  exit 1
fi
grep -qF "link/status.cpp:$((n + 1)): #include \"ui/screens.h\"   (link may not use ui)" <<<"$out" || {
  echo "no report of the link's include: $out"
  exit 1
}
grep -qF "sim may not use files" <<<"$out" || { echo "no report of the simulator's include: $out"; exit 1; }
grep -qF "cli/file_commands.cpp" <<<"$out" || { echo "no report of the CLI's Qt include: $out"; exit 1; }
echo ok
