# Shared start of the whole-job benchmarks (sourced): installs the peers when
# run as root, checks the tools, builds the host in Release, and makes a work
# directory with the host's registry and temporary files of its own, on the
# same file system as the peers' outputs.
#
#   bench_setup NAME TOOL...   sets host, make_pages, work, pages, out
# Expects source_dir and build_dir to be set.

say() { echo "== $*" >&2; }

bench_setup() {
  local name=$1 tool
  shift
  if [ "$(id -u)" = 0 ]; then
    "$source_dir/scripts/install_packages.sh" bench
  fi
  for tool in hyperfine "$@" /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (run as root to install it)" >&2; exit 1; }
  done

  say "building (Release)"
  cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DZEDUZ_BENCH=ON >/dev/null
  cmake --build "$build_dir" -j2 --target zeduz_host make_scan_pages >/dev/null
  host=$build_dir/bin/zeduz-tiff
  make_pages=$build_dir/bin/make_scan_pages

  work=$(mktemp -d "${TMPDIR:-/tmp}/zeduz-$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  pages=$work/pages out=$work/out
  mkdir -p "$pages" "$out" "$work/registry" "$work/tmp"
  export ZEDUZ_REGISTRY_DIR=$work/registry TMPDIR=$work/tmp
}
