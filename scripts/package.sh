#!/usr/bin/env bash
# Builds the Debian package from a clean release tree and checks what it ships:
#   bash scripts/package.sh [BUILD_DIR]     (default build-package; the .deb lands there)
# The desktop entry, the AppStream metainfo and the manual pages are validated, and lintian
# looks at the package (its errors fail the script).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${1:-build-package}
rm -rf "$build"
# Debian's hardening flags, as its own packages are built.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELKO_TESTS=OFF -DPELKO_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection" \
    -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pelkocopy_*.deb)
echo "package: $deb"

desktop-file-validate packaging/pelkocopy.desktop
appstreamcli validate --no-net packaging/io.github.pelkocopy.PelkoCopy.metainfo.xml
for page in "$build"/docs/*.1.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings" >&2
        exit 1
    fi
done
bash -n "$build/docs/pelkocopy-cli"
dpkg-deb -c "$deb" | awk '{print $6}'
if command -v lintian >/dev/null 2>&1; then
    # Errors fail the package; warnings are printed for the reader.
    lintian --fail-on error --suppress-tags-from-file packaging/lintian-overrides.txt "$deb"
fi
echo "Package checks passed."
