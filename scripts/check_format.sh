#!/usr/bin/env bash
# Checks that every C++ source follows .clang-format; names the files that do not and the
# command that formats them.
#   check_format.sh [CLANG_FORMAT]     check (the default formatter: clang-format-14)
#   check_format.sh --fix [CLANG_FORMAT]   format them in place
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
if [ "${1:-}" = --fix ]; then fix=1; shift; fi
formatter=${1:-clang-format-14}
mapfile -t files < <(find src tests bench fuzz packaging -name '*.cpp' -o -name '*.h' | sort)
if [ $fix -eq 1 ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
unformatted=()
for f in "${files[@]}"; do
  "$formatter" --dry-run -Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "formatting: ${#unformatted[@]} of ${#files[@]} files differ from .clang-format:"
  printf '  %s\n' "${unformatted[@]}"
  echo "run \`make format\` to format them"
  exit 1
fi
echo "formatting: all ${#files[@]} files follow .clang-format"
