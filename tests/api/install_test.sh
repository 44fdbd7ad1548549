#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds C programs against it as a new user
# would, with nothing but pkg-config's flags: the README's example linked with the shared library
# and, from a moved copy of the tree without the shared library, statically (pkg-config --static);
# both run on a movie. The interface program checks that the header, the library and vexa.pc give
# one version; the shared library must export exactly the functions the headers mark VEXA_API.
#   install_test.sh BUILD_DIR CC README_EXAMPLE.c C_API.c VEXA
set -euo pipefail
build=$1 cc=$2 example=$3 capi=$4 vexa=$5
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/installed" >/dev/null
cp -a "$tmp/installed" "$tmp/moved"
find "$tmp/moved" -name 'libvexa.so*' -delete

# pkg-config with the tree under ROOT searched first.
pkg_config_in() {
  local root=$1
  shift
  PKG_CONFIG_PATH=$(dirname "$(find "$root" -name vexa.pc)") pkg-config "$@"
}
# Builds SOURCE into OUT against the tree under ROOT with the pkg-config options given.
build_against() {
  local root=$1 source=$2 out=$3
  shift 3
  # shellcheck disable=SC2046 # pkg-config's output is a list of options
  "$cc" -std=c11 -Wall -Wextra -pedantic -Werror "$source" -o "$out" \
    $(pkg_config_in "$root" "$@" --cflags --libs vexa)
}
build_against "$tmp/installed" "$example" "$tmp/shared"
build_against "$tmp/installed" "$capi" "$tmp/c_api"
build_against "$tmp/moved" "$example" "$tmp/static" --static

libdir=$(dirname "$(find "$tmp/installed" -name 'libvexa.so' | head -n 1)")
if ! readelf -d "$tmp/shared" | grep -q 'NEEDED.*libvexa'; then
  echo "the shared build does not use libvexa.so" >&2
  exit 1
fi
if readelf -d "$tmp/static" | grep -q 'NEEDED.*libvexa'; then
  echo "the static build needs libvexa.so" >&2
  exit 1
fi
api=$(grep -ho '^VEXA_API [^(]*(' "$tmp"/installed/include/vexa/*.h |
  sed -E 's/.*[ *]([A-Za-z0-9_]+)\($/\1/' | sort)
exported=$(nm -D --defined-only "$libdir/libvexa.so" | awk '{print $3}' | sort)
if [ "$api" != "$exported" ]; then
  echo "libvexa.so exports other symbols than the interface:" >&2
  diff <(echo "$api") <(echo "$exported") >&2 || true
  exit 1
fi
version=$(pkg_config_in "$tmp/installed" --modversion vexa)
LD_LIBRARY_PATH=$libdir "$tmp/c_api" "$version"
LD_LIBRARY_PATH=$libdir "$here/readme_example_test.sh" "$vexa" "$tmp/shared" "$tmp/static"
