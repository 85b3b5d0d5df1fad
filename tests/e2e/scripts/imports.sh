#!/usr/bin/env bash
# Lists what a PE file imports, one "dll function" per line, sorted, DLL names in lower case.
# Usage: imports.sh <objdump> <file>
set -euo pipefail
"$1" -p "$2" | sed -n '/The Import Tables/,/The Export Tables/p' | awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }
  /^$/ { }' | sort -u
