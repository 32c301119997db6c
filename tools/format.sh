#!/usr/bin/env bash
# Formats every C++ source and header of ours with the root .clang-format, in place:
#   tools/format.sh            formats the files
#   tools/format.sh --check    changes nothing; lists the files that differ and exits 1 if any does
# The layout clang-format chooses differs between its versions; CI's is the one Debian 12 ships (14).
# CLANG_FORMAT names another binary.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

clang_format="${CLANG_FORMAT:-clang-format}"
if ! command -v "$clang_format" >/dev/null; then
  echo "$0: $clang_format not found (tools/install-deps.sh --with-tests installs it)" >&2
  exit 2
fi

# Our files are the ones git knows (tracked or new, not ignored); build trees and scratch files are not ours.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' |
                          xargs -0 -r sh -c 'for f; do [ -f "$f" ] && printf "%s\0" "$f"; done' sh)
else
  mapfile -d '' files < <(find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "$0: no C++ files found" >&2
  exit 2
fi

if [ $check -eq 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$clang_format" -i --style=file
  exit 0
fi

# One clang-format run reports every file that differs (one line each with --ferror-limit=1).
report="$(printf '%s\0' "${files[@]}" |
          xargs -0 "$clang_format" --style=file --dry-run -Werror --ferror-limit=1 2>&1)" && status=0 || status=$?
mapfile -t differ < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
if [ $status -ne 0 ] && [ ${#differ[@]} -eq 0 ]; then
  echo "$report" >&2
  echo "$0: $clang_format failed" >&2
  exit 2
fi
if [ ${#differ[@]} -ne 0 ]; then
  printf '%s\n' "${differ[@]}"
  echo "${#differ[@]} of ${#files[@]} files are not formatted as .clang-format says" \
       "($("$clang_format" --version)); tools/format.sh formats them." >&2
  exit 1
fi
echo "all ${#files[@]} C++ files are formatted"
