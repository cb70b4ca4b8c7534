#!/usr/bin/env bash
# Checks that the C++ sources are formatted as .clang-format (and the nested
# ones, e.g. engine/.clang-format) say: clang-format --dry-run -Werror over
# every .h and .cpp file of the project's source folders, or over the files
# named on the command line. Lists the files that differ and exits non-zero
# when there are any; changes nothing.
#
#   scripts/check-format.sh [FILE...]        CLANG_FORMAT (clang-format)
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null; then
  echo "$clang_format is not installed (Debian package clang-format; scripts/install-deps.sh installs it)" >&2
  exit 2
fi
files=("$@")
if ((${#files[@]} == 0)); then
  mapfile -t files < <(git ls-files -- engine dao jet SrcLib frontend tests tools bench |
    grep -E '\.(h|hpp|cpp|cc)$')
fi
differ=()
for file in "${files[@]}"; do
  if ! "$clang_format" --dry-run -Werror --style=file "$file" >/dev/null 2>&1; then
    differ+=("$file")
  fi
done
if ((${#differ[@]})); then
  echo "${#differ[@]} of ${#files[@]} files are not formatted as .clang-format says:" >&2
  printf '  %s\n' "${differ[@]}" >&2
  echo "Format one with: $clang_format -i --style=file FILE" >&2
  exit 1
fi
echo "all ${#files[@]} files are formatted"
