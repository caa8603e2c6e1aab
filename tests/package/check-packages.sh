#!/usr/bin/env bash
# Proves that a plugin vendor can work from a release package alone. For each
# package given (the .tar.gz of the Linux build, the .zip of the Windows build):
#  - unpacks it into an empty temporary folder outside the source tree and
#    checks that it holds exactly the files of the package layout, and that
#    every link of its Markdown files leads to a file inside it;
#  - follows the package's quick start (its README.md) literally: the commands
#    of its marked code blocks for this package, run by bash from an empty
#    folder that holds only the package, must verify the sample and the
#    vendor's own plugin, and the CI step must pass and write its reports;
#    its CI jobs must run what the walk ran (tests/package/quick_start.py);
#  - builds the stand-alone samples from the unpacked samples/ folder, which
#    find the package with find_package(OrvelPluginAPI): the Linux package with
#    the host's gcc and g++, the Windows package with mingw-w64 through the
#    toolchain file it ships. Every source is compiled as C99 or
#    C++17 with -Wall -Wextra -pedantic -Werror, and the package's include
#    folder is a normal one, not a system one, so that a warning in the header
#    counts too;
#  - verifies each built plugin with the packaged verifier (the Windows one
#    under Wine, in a new Wine prefix of its own, so that nothing installed in
#    another prefix can help): the exact summary line and exit status 0;
#  - starts the packaged property server once (its --help);
#  - Windows: the programs and the plugins import Windows' own DLLs only, so
#    they need nothing beside them.
# Usage: tests/package/check-packages.sh PACKAGE...
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
wine_run="$repo/scripts/wine-run.sh"
quick_start="$repo/tests/package/quick_start.py"
warnings="-Wall -Wextra -pedantic -Werror"

if [ $# -eq 0 ]; then
  echo "usage: tests/package/check-packages.sh PACKAGE..." >&2
  exit 2
fi

work=""
fail() {
  echo "FAIL: $*" >&2
  [ -z "$work" ] || echo "(the unpacked package and the samples' build are kept in $work)" >&2
  exit 1
}

# The wineserver of the Wine prefix made for a Windows package ends with the check.
wine_prefix=""
stop_wine() {
  [ -z "$wine_prefix" ] || WINEPREFIX="$wine_prefix" "$wine_run" --server -k 2>/dev/null || true
  wine_prefix=""
}
trap stop_wine EXIT

# The files of a package, relative to its folder; $1 is the programs' suffix.
expected_files() {
  {
  printf '%s\n' "bin/OrvelPluginVerifier$1" "bin/OrvelPropertyServer$1" include/OrvelPluginAPI.h \
    lib/cmake/OrvelPluginAPI/OrvelPluginAPIConfig.cmake lib/cmake/OrvelPluginAPI/OrvelPluginAPIConfigVersion.cmake \
    lib/cmake/OrvelPluginAPI/OrvelPluginAPITargets.cmake samples/CMakeLists.txt samples/SampleMotionPlatform.c \
    samples/SampleMotionPlatformCpp.cpp samples/SampleTracker.c README.md share/doc/OrvelPluginVerifier/plugin-abi.md \
    share/doc/OrvelPluginVerifier/reports.md share/doc/OrvelPluginVerifier/report.schema.json
  [ -z "$1" ] || echo samples/mingw-w64-x86_64.cmake
  } | LC_ALL=C sort
}

# The DLLs every Windows system has; a program or plugin may import these only.
windows_system_dll() {
  case "$(echo "$1" | tr '[:upper:]' '[:lower:]')" in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | ntdll.dll | advapi32.dll | ole32.dll | \
      oleaut32.dll | shell32.dll | shlwapi.dll | user32.dll | ws2_32.dll | bcrypt.dll | dbghelp.dll) return 0 ;;
    *) return 1 ;;
  esac
}

check_imports() {
  local file dll
  for file in "$@"; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\tDLL Name: //p'); do
      windows_system_dll "$dll" || fail "$(basename "$file") imports $dll, which is not part of Windows"
    done
  done
}

# Every compile of the samples' build used the package's header folder as a
# normal include folder, the standard and warning flags asked for, and nothing
# from this source tree.
check_compile_commands() {
  python3 - "$1" "$2" "$repo" "$warnings" <<'EOF'
import json, sys
commands_file, include_dir, repo, warnings = sys.argv[1:]
entries = json.load(open(commands_file))
standards = {".c": "-std=c99", ".cpp": "-std=c++17"}
problems = []
for entry in entries:
    command, source = entry["command"], entry["file"]
    words = command.split()
    standard = standards[source[source.rindex("."):]]
    for needed in [standard, "-I" + include_dir] + warnings.split():
        if needed not in words:
            problems.append("%s: %s missing in: %s" % (source, needed, command))
    if repo + "/" in command:
        problems.append("%s: compiled with the source tree %s: %s" % (source, repo, command))
if len(entries) != 3:
    problems.append("%d compiled sources, expected the 3 samples" % len(entries))
for problem in problems:
    print(problem, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
}

# The quick start's walk for one package, from an empty folder that holds the
# package only: its commands as a vendor types them, the Windows ones with
# Debian's wine64 in the Wine prefix made for this check. Every verification
# passes (the sample, the vendor's plugin, the CI step with its strict checks)
# and the CI step writes its three reports with every check passed. Address space
# layout randomization is off for the walk, as scripts/wine-run.sh turns it off
# for Wine, whose start otherwise fails about once in a few thousand.
follow_quick_start() {
  local platform="$1" archive="$2" readme="$3" walk="$work/quick-start" status=0
  mkdir "$walk"
  cp "$archive" "$walk/"
  python3 "$quick_start" check-ci "$readme" || fail "$name: the quick start's CI jobs differ from its walk"
  python3 "$quick_start" script "$platform" "$readme" >"$work/quick-start.sh" ||
    fail "$name: the quick start has no walk for this package"
  (cd "$walk" && env WINEPREFIX="$wine_prefix" WINEDEBUG=-all setarch "$(uname -m)" -R \
    bash "$work/quick-start.sh" >"$work/quick-start.log" 2>&1 </dev/null) || status=$?
  local summaries
  summaries="$(tr -d '\r' <"$work/quick-start.log" | grep '^End verification' || true)"
  if [ "$status" -ne 0 ] || [ "$summaries" != "$(printf 'End verification: %s passed\n' 19/19 19/19 26/26)" ]; then
    cat "$work/quick-start.sh" "$work/quick-start.log"
    fail "$name: the quick start's walk failed (exit status $status); its script and output are above"
  fi
  python3 - "$walk/reports/myplugin.json" "$walk/reports/myplugin.xml" "$walk/reports/myplugin.html" <<'EOF' ||
import json, sys
import xml.etree.ElementTree as ElementTree
report = json.load(open(sys.argv[1]))
suite = ElementTree.parse(sys.argv[2]).getroot()
got = (report["passed"], report["total"], report["exitStatus"], suite.get("tests"), suite.get("failures"), suite.get("errors"))
if got != (26, 26, 0, "26", "0", "0"):
    sys.exit("reports: passed, total, exit status, tests, failures, errors are %r, expected (26, 26, 0, '26', '0', '0')" % (got,))
page = open(sys.argv[3], encoding="utf-8").read()
if not page.startswith("<!DOCTYPE html>") or "26/26 checks passed" not in page or ">PASSED<" not in page:
    sys.exit("reports: the HTML report is not the page of a run that passed 26/26 checks")
EOF
    fail "$name: the quick start's CI step did not write the reports of a passed run"
  echo "quick start: the sample, the vendor's plugin and the CI step pass"
}

check_package() {
  local archive="$1" name package platform suffix build run=()
  name="$(basename "$archive")"
  case "$name" in
    *-linux-x86_64.tar.gz) platform=linux suffix="" name="${name%.tar.gz}" ;;
    *-windows-x64.zip) platform=windows suffix=".exe" name="${name%.zip}" ;;
    *) fail "$archive: not a package name this check knows" ;;
  esac
  echo "=== $name"
  work="$(mktemp -d)"
  case "$work/" in "$repo"/*) fail "the temporary folder $work lies inside the source tree" ;; esac
  archive="$(cd "$(dirname "$archive")" && pwd)/$(basename "$archive")"

  mkdir "$work/unpacked"
  (cd "$work/unpacked" && cmake -E tar xf "$archive")
  [ "$(ls "$work/unpacked")" = "$name" ] || fail "$name: the package does not unpack into the one folder $name"
  package="$work/unpacked/$name"
  diff -u <(expected_files "$suffix") <(cd "$package" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) ||
    fail "$name: the package's files differ from the layout (- expected, + found)"

  python3 "$repo/tests/package/doc_links.py" "$package" $(find "$package" -name '*.md') ||
    fail "$name: a link of the packaged docs leads nowhere inside the package"

  build="$work/build"
  local configure=(-S "$package/samples" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_NO_SYSTEM_FROM_IMPORTED=ON
    -DCMAKE_C_STANDARD=99 -DCMAKE_C_STANDARD_REQUIRED=ON -DCMAKE_C_EXTENSIONS=OFF
    -DCMAKE_CXX_STANDARD=17 -DCMAKE_CXX_STANDARD_REQUIRED=ON -DCMAKE_CXX_EXTENSIONS=OFF
    "-DCMAKE_C_FLAGS=$warnings" "-DCMAKE_CXX_FLAGS=$warnings")
  if [ "$platform" = windows ]; then
    # The packaged toolchain keeps find_package inside the mingw sysroot: the
    # package is named by OrvelPluginAPI_DIR.
    configure+=("-DCMAKE_TOOLCHAIN_FILE=$package/samples/mingw-w64-x86_64.cmake"
      "-DOrvelPluginAPI_DIR=$package/lib/cmake/OrvelPluginAPI")
    wine_prefix="$work/wine-prefix"
    run=(env "WINEPREFIX=$wine_prefix" "$wine_run")
    "${run[@]}" wineboot --init >/dev/null 2>&1 </dev/null || fail "$name: Wine does not make a new prefix"
  else
    configure+=(-DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ "-DCMAKE_PREFIX_PATH=$package")
  fi
  cmake "${configure[@]}" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "$name: the samples do not configure"; }
  cmake --build "$build" -j2 >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "$name: the samples do not build"; }
  check_compile_commands "$build/compile_commands.json" "$package/include" ||
    fail "$name: the samples were not compiled as asked"

  local plugin_suffix=".so"
  if [ "$platform" = windows ]; then
    plugin_suffix=".dll"
    check_imports "$package/bin/"*.exe "$build/"*.dll
  fi

  local mode plugin summary status out
  out="$work/out.txt"
  while read -r mode plugin summary; do
    local path="$build/$plugin$plugin_suffix"
    if [ "$platform" = windows ]; then path="Z:${path//\//\\}"; fi
    status=0
    "${run[@]}" "$package/bin/OrvelPluginVerifier$suffix" "--mode=$mode" "--plugin=$path" >"$out" 2>"$work/err.txt" \
      </dev/null || status=$?
    if [ "$status" -ne 0 ] || [ "$(tr -d '\r' <"$out" | tail -n 1)" != "$summary" ]; then
      cat "$out" "$work/err.txt"
      fail "$name: $plugin: expected \"$summary\" and exit status 0, got exit status $status"
    fi
    echo "$plugin: $summary"
  done <<'EOF'
verify SampleTracker End verification: 19/19 passed
verify-motion-platform-plugin SampleMotionPlatform End verification: 15/15 passed
verify-motion-platform-plugin SampleMotionPlatformCpp End verification: 15/15 passed
EOF

  follow_quick_start "$platform" "$archive" "$package/README.md"

  status=0
  "${run[@]}" "$package/bin/OrvelPropertyServer$suffix" --help >"$out" 2>&1 </dev/null || status=$?
  if [ "$status" -ne 0 ] || [ "$(tr -d '\r' <"$out" | head -n 1)" != "Usage: OrvelPropertyServer [options]" ]; then
    cat "$out"
    fail "$name: the property server does not start (exit status $status)"
  fi
  stop_wine
  rm -rf "$work"
  work=""
}

for archive in "$@"; do
  check_package "$archive"
done
echo "=== every package builds and verifies its samples on its own"
