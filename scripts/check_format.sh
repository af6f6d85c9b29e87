#!/usr/bin/env bash
# Fails when a C++ file of the tree is not formatted by the pinned clang-format (the one Debian
# 12 ships), so the whole tree keeps one format. Fix with: scripts/check_format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=clang-format-14
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
else
  mapfile -t files < <(find libs src tests bench tools plugins -name '*.cpp' -o -name '*.h' 2>/dev/null)
fi
if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
if ! "$formatter" --dry-run --Werror "${files[@]}" 2>/tmp/mirvane-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/mirvane-format.$$ | cut -d: -f1 | sort -u | sed 's/^/  unformatted: /'
  rm -f /tmp/mirvane-format.$$
  echo "Run scripts/check_format.sh --fix to format them." >&2
  exit 1
fi
rm -f /tmp/mirvane-format.$$
echo "Formatting: ${#files[@]} files as $formatter formats them."
