#!/usr/bin/env bash
# Compile-checks the macOS sources on Linux: clang 16 with GNUstep's Foundation and AppKit
# headers and our own declarations of the rest (include/AppleDeclarations.h). Syntax, types and
# selectors are checked; nothing is linked or run. Also compiles the core and shared C++ sources
# with clang, so a construct only g++ accepts is caught before a Mac sees it.
#
# Usage: compile-check.sh SOURCE_DIR WORK_DIR [CLANG++] [FILE...]
# With FILEs, checks only those (paths relative to SOURCE_DIR). SAPWELL_GENERATED_DIR names the
# build's folder of generated headers (the chart page's), which core/ChartPage.cpp includes.
set -uo pipefail

src=$(cd "$1" && pwd)
work=$2
cxx=${3:-clang++-16}
shift $(($# < 3 ? $# : 3))

fail() { echo "macOS compile check: $*" >&2; exit 1; }

command -v "$cxx" >/dev/null || fail "$cxx not found (scripts/setup.sh installs clang-16)"
[ -f /usr/include/GNUstep/AppKit/AppKit.h ] ||
  fail "GNUstep headers not found (scripts/setup.sh installs libgnustep-gui-dev)"
# A Mac builds against LLVM's libc++, which lacks parts of libstdc++ (floating-point
# from_chars, for one); checking against it catches those before a Mac does.
echo '#include <version>' | "$cxx" -x c++ -std=c++20 -stdlib=libc++ -fsyntax-only - 2>/dev/null ||
  fail "libc++ for $cxx not found (scripts/setup.sh installs libc++-16-dev)"

# GCC keeps the Objective-C runtime headers in its private include folder.
gcc_objc=
for d in /usr/lib/gcc/*/*/include; do
  [ -f "$d/objc/runtime.h" ] && gcc_objc=$d
done
[ -n "$gcc_objc" ] || fail "objc/runtime.h not found (libobjc from libgnustep-base-dev)"

# Two workarounds for GNUstep under ARC, generated here, never committed:
# GCC's runtime.h reads an object's class through a plain pointer and returns `Protocol **`,
# both of which ARC refuses; and with -fblocks GNUstep wants <objc/blocks_runtime.h>, which only
# libobjc2 has.
gen=$work/include/objc
mkdir -p "$gen"
sed -e 's|#include "objc.h"|#include <objc/objc.h>|' \
    -e 's|#include "objc-decls.h"|#include <objc/objc-decls.h>|' \
    -e 's|return object->class_pointer;|return ((__bridge struct objc_object *)object)->class_pointer;|' \
    -e 's|Protocol \*\*|Protocol * __unsafe_unretained *|g' \
    "$gcc_objc/objc/runtime.h" >"$gen/runtime.h.tmp" && mv "$gen/runtime.h.tmp" "$gen/runtime.h"
cat >"$gen/blocks_runtime.h" <<'STUB'
#pragma once
extern "C" void *_Block_copy(const void *);
extern "C" void _Block_release(const void *);
#define Block_copy(x) ((__typeof__(x))_Block_copy((const void *)(x)))
#define Block_release(x) _Block_release((const void *)(x))
STUB

project_includes=(-I"$src/core" -I"$src/platform" -I"$src/platform/macos" -I"$src/app"
                  -I"$src/app/macos" ${SAPWELL_GENERATED_DIR:+-I"$SAPWELL_GENERATED_DIR"})
apple=(-I"$src/tests/macos/include" -include "$src/tests/macos/include/AppleDeclarations.h")
warnings=(-Wall -Wextra -Werror -Wundeclared-selector)
mac_library=(-stdlib=libc++ -include "$src/tests/macos/include/GlibcOnly.h")
cxx_flags=(-std=c++20 "${mac_library[@]}" -fsyntax-only "${warnings[@]}")
objc_flags=(-std=c++20 "${mac_library[@]}" -fsyntax-only -x objective-c++ -fobjc-arc -fobjc-runtime=gnustep-2.0
            -fblocks -fobjc-exceptions -fexceptions
            -DGNUSTEP -DGNUSTEP_BASE_LIBRARY=1 -DGNU_GUI_LIBRARY=1 -DGNU_RUNTIME=1
            -D_NATIVE_OBJC_EXCEPTIONS
            -I"$work/include" -isystem /usr/include/GNUstep -idirafter "$gcc_objc"
            "${warnings[@]}" -Werror=objc-method-access -Werror=incompatible-pointer-types
            -Werror=objc-protocol-method-implementation -Werror=protocol
            -Werror=arc-performSelector-leaks)

if (($# == 0)); then
  cd "$src"
  # What a Mac builds: the shared app/ files and the macOS seam and shell.
  set -- platform/macos/*.mm app/macos/*.mm platform/macos/*.cpp core/*.cpp app/*.cpp
fi

check() {
  local f=$1 flags
  case "$f" in
    *.mm) flags=("${objc_flags[@]}" "${apple[@]}") ;;
    platform/macos/*|app/macos/*) flags=("${cxx_flags[@]}" "${apple[@]}") ;;
    app/main.cpp)
      # Its macOS branch; the ordinary build compiles the other one. With __APPLE__ defined,
      # libc++ would want Darwin's own headers, so this one goes through libstdc++.
      flags=(-std=c++20 -fsyntax-only "${warnings[@]}" -D__APPLE__ -DSAPWELL_VERSION='"0"') ;;
    *) flags=("${cxx_flags[@]}") ;;
  esac
  "$cxx" "${flags[@]}" "${project_includes[@]}" "$src/$f" 2>&1
}

# Two at a time; each file's messages are printed together, failures named at the end.
results=$work/results
rm -rf "$results"
mkdir -p "$results"
count=0
for f in "$@"; do
  [ -f "$src/$f" ] || continue
  count=$((count + 1))
  log=$results/$count.log
  ( if check "$f" >"$log"; then rm -f "$log"; else echo "FAILED: $f" >>"$log"; fi ) &
  while (($(jobs -rp | wc -l) >= ${SAPWELL_CHECK_JOBS:-2})); do wait -n; done
done
wait
shopt -s nullglob
logs=("$results"/*.log)
if ((${#logs[@]})); then
  cat "${logs[@]}" >&2
  fail "${#logs[@]} of $count sources do not compile (see above)"
fi
echo "macOS compile check: $count sources compile"
