#!/usr/bin/env bash
# Static checks, all of which must be clean: formatting against .clang-format,
# clang-tidy on the portable code (against the native build's compile
# commands), and cppcheck on the product and the sandbox.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== clang-format =="
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== layout =="
# Each folder of src includes only from itself and the folders before it, so
# every dependency points one way.
layers=(platform log settings game workers plugin)
for i in "${!layers[@]}"; do
  allowed=$(IFS='|'; echo "${layers[*]:0:i+1}")
  if git grep -nE '#include "[a-z]+/' -- "src/${layers[i]}" | grep -vE "#include \"($allowed)/"; then
    echo "lint: src/${layers[i]} includes from a folder that comes after it (${layers[*]})"
    exit 1
  fi
done

echo "== clang-tidy =="
[ -f build/native/compile_commands.json ] || cmake --preset native >/dev/null
if ! report=$(git ls-files 'src/*.cpp' ':!src/platform/win32/*' | xargs clang-tidy -p build/native --quiet 2>&1); then
  grep -vE '^[0-9]+ warnings generated\.$' <<<"$report"
  exit 1
fi

echo "== cppcheck =="
cppcheck --quiet --enable=warning,performance,portability --std=c++20 --inline-suppr --error-exitcode=1 \
  -I src src tools/sandbox
echo "lint: clean"
