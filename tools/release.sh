#!/usr/bin/env bash
# Makes a release of the commit checked out, every platform's download in one folder, dist/:
#
# | file                                           | what it is                                    |
# |------------------------------------------------|-----------------------------------------------|
# | mirovale_V_amd64.deb, mirovale_V_arm64.deb     | the Debian packages; arm64's cross-built      |
# | mirovale_V.dsc, mirovale_V.tar.xz              | the Debian source package they are built from |
# | mirovale_V_amd64.buildinfo, ..._arm64.buildinfo | what each package was built with            |
# | mirovale-V-windows-x86_64.zip                  | the Windows program, beside its terrain       |
# | mirovale-V-web.zip                             | the page's eight files, in a folder mirovale/ |
# | mirovale-V.tar.gz                              | the commit's files, in a folder mirovale-V/   |
# | SHA256SUMS, SHA256SUMS.asc                     | their checksums, and those signed with KEY    |
# | apt/                                           | an apt repository of both packages and their  |
# |                                                | source, with AppStream data, signed           |
#
# Each zip carries the licence, LICENSE.txt, in its folder. V is the version at the top of
# debian/changelog, and every time in the zips and the tarballs is the date there: the same commit
# gives the same bytes, whoever releases it, wherever and whenever (but for the signatures and the
# .buildinfo files, which say when and with what the packages were built). apt/ holds the suite
# "stable", component "main", the key that signs it (mirovale-archive-keyring.pgp) and a deb822
# mirovale.sources naming URL, the address apt/ is to be published at. Without --key nothing is
# signed. The packages are built by dpkg-buildpackage, the zips with the presets the tests build
# with, in build-windows/ and build-web/, on amd64 (tools/packages.sh release installs what it
# needs). --uncommitted releases the checkout as it is, changes and all: for the tests, not for
# users.
# Usage: tools/release.sh --url URL [--key KEY] [--out DIR] [--uncommitted]
set -euo pipefail
caller=$PWD
cd -P "$(dirname "$0")/.."
usage() {
  echo "usage: $0 --url URL [--key KEY] [--out DIR] [--uncommitted]" >&2
  exit 2
}
url="" key="" out=$PWD/dist uncommitted=no
while [ $# -gt 0 ]; do
  case $1 in
  --url) url=${2:-} ;;
  --key) key=${2:-} ;;
  --out) out=$(cd "$caller" && realpath -m -- "${2:-.}") ;;
  --uncommitted) uncommitted=yes && shift && continue ;;
  *) usage ;;
  esac
  [ $# -ge 2 ] && [ -n "$2" ] || usage
  shift 2
done
# The address goes into the sources file as it is, so it is one http or https URL and nothing more.
[[ $url =~ ^https?://[^[:space:]\"\\]+$ ]] || {
  echo "$0: --url names the address that apt/ is published at, an http:// or https:// URL" >&2
  usage
}

# What is released is a commit: refused before anything is built.
architecture=$(dpkg --print-architecture)
[ "$architecture" = amd64 ] || {
  echo "A release is made on amd64, whose arm64 package is cross-built; this is $architecture." >&2
  exit 1
}
[ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$PWD" ] || {
  echo "A release is made from a git checkout, and $PWD is none." >&2
  exit 1
}
changes=$(git status --porcelain)
if [ -n "$changes" ] && [ $uncommitted = no ]; then
  echo "The checkout has changes that no commit holds, and a release is made of a commit alone:" >&2
  echo "$changes" >&2
  echo "Commit them, or put them away, and run again." >&2
  exit 1
elif [ -n "$changes" ]; then
  echo "Releasing the checkout with changes that no commit holds, as --uncommitted asks: this is no commit's release."
fi
# apt refuses a Release file dated in the future ("not valid yet"), and the repository's takes the
# changelog's date.
epoch=$(dpkg-parsechangelog -S Timestamp)
[ "$epoch" -le "$(date +%s)" ] || {
  echo "debian/changelog is dated $(dpkg-parsechangelog -S Date), which is still to come: apt would refuse the" \
    "repository until then (\"not valid yet\"). Date its first entry now (dch -r), commit it, and run again." >&2
  exit 1
}
[ -z "$key" ] || gpg --batch --list-secret-keys "$key" >/dev/null 2>&1 || {
  echo "gpg has no secret key $key to sign with." >&2
  exit 1
}
# A folder the release replaces holds an earlier release alone.
if [ -e "$out" ]; then
  [ -d "$out" ] || { echo "$out is no folder: name another with --out." >&2 && exit 1; }
  stray=$(find "$out" -mindepth 1 -maxdepth 1 ! -name 'mirovale[-_]*' ! -name 'SHA256SUMS*' ! -name apt | head -n 1)
  [ -z "$stray" ] || { echo "$out holds $stray, which is no part of a release: name another folder with --out." >&2 && exit 1; }
fi

version=$(dpkg-parsechangelog -S Version)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
echo "Building mirovale $version for amd64, arm64, Windows and the web ..."
# The Debian packages, as Debian builds them: from the source package, by dpkg-buildpackage, the
# arm64 one cross-built. (Their -dbgsym packages, made beside them, are left out: see
# docs/releasing.md.)
tools/debian_packages.sh "$stage/debian" amd64 arm64
mv "$stage"/debian/source/* "$stage/debian/"
for preset in windows web; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$(nproc)"
done

# What software centres list: appstream-generator reads the packages' metainfo and menu entries, as
# it does Debian's archive, and writes the DEP-11 data where apt looks for it, main/dep11/, with the
# icons at each size and, where the metainfo's screenshot can be fetched now, its media under
# media/. Its icon tarballs take their files' times, so those are set to the changelog's date
# first, and the data written again: the same bytes whoever releases it, and whenever. apt keeps a
# list only where Release names it uncompressed too, as Debian's does, so each is also written so.
appstream_data() { # APT
  local asgen=$stage/appstream data home
  mkdir -p "$asgen"
  cat >"$asgen/asgen-config.json" <<CONFIG
{
  "ProjectName": "Mirovale",
  "ArchiveRoot": "$1",
  "MediaBaseUrl": "$url/media",
  "Backend": "Debian",
  "Suites": { "stable": { "sections": ["main"], "architectures": ["amd64", "arm64"] } },
  "Icons": { "48x48": { "cached": true }, "64x64": { "cached": true }, "128x128": { "cached": true } },
  "Features": { "metadataTimestamps": false, "optimizePNGSize": false }
}
CONFIG
  local made=(appstream-generator --workspace "$asgen" --config "$asgen/asgen-config.json")
  "${made[@]}" run stable >"$asgen/run.log" 2>&1 &&
    find "$asgen/export/media" -type f -exec touch -d "@$epoch" {} + &&
    "${made[@]}" publish stable >>"$asgen/run.log" 2>&1 || {
    tail -n 20 "$asgen/run.log" >&2
    echo "appstream-generator could not make the AppStream data: above are the last lines of what it said." >&2
    exit 1
  }
  data=$asgen/export/data/stable/main
  mkdir -p "$1/dists/stable/main/dep11"
  cp "$data"/Components-*.yml.* "$data"/icons-*.tar.gz "$1/dists/stable/main/dep11/"
  for list in "$1"/dists/stable/main/dep11/*.gz; do gzip -d -c "$list" >"${list%.gz}"; done
  [ ! -d "$asgen/export/media/stable" ] || { mkdir -p "$1/media" && cp -R "$asgen/export/media/stable" "$1/media/"; }
  home=$(dpkg-deb --field "$out/${debian[0]}" Homepage)
  if [ -n "$home" ] && ! grep -q '^Screenshots:' "$1/dists/stable/main/dep11/Components-amd64.yml"; then
    echo "No screenshot could be fetched from the home, $home, so software centres will show none:" \
      "publish docs/screenshot.png there as screenshot.png, and release again."
  fi
}

rm -rf "$out"
mkdir -p "$out"
debian=(mirovale_"$version"_amd64.deb mirovale_"$version"_arm64.deb mirovale_"$version".dsc mirovale_"$version".tar.xz
  mirovale_"$version"_amd64.buildinfo mirovale_"$version"_arm64.buildinfo)
cp "${debian[@]/#/$stage/debian/}" "$out"/

# A zip of what a build installs, in a folder of the zip's: each entry of mode 644, or 755 for a
# program, dated by the changelog, in the order of its name, and with no more than zip's own
# fields (-X leaves out the owner and the times of the disk).
zip_installed() { # BUILD FOLDER ZIP LICENCE
  cmake --install "$1" --prefix "$stage/$2" >/dev/null
  cp LICENSE "$stage/$2/$4"
  chmod -R u=rwX,go=rX "$stage/$2"
  find "$stage/$2" -exec touch -d "@$epoch" {} +
  (cd "$stage" && find "$2" -type f | LC_ALL=C sort | TZ=UTC0 zip -X -D -q "$out/$3" -@)
}
zip_installed build-windows mirovale-windows-x86_64 mirovale-"$version"-windows-x86_64.zip LICENSE.txt
zip_installed build-web mirovale mirovale-"$version"-web.zip LICENSE.txt

# The source: the files git keeps, and nothing else, as the zips are made.
git ls-files -z |
  tar --create --format=gnu --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX --mtime="@$epoch" \
    --transform="s,^,mirovale-$version/,S" --hard-dereference --no-recursion --null --files-from=- |
  gzip -9 -n >"$out/mirovale-$version.tar.gz"

# apt/: the packages and their source in its pool, each architecture's list of packages and the
# list of sources, and the release file that vouches for those lists, dated by the changelog. That
# file is written outside dists/stable first: made in place, it would be listed in itself, empty.
apt=$out/apt
mkdir -p "$apt/pool/main/m/mirovale" "$apt/dists/stable/main/source"
cp "$out"/*.deb "$out"/*.dsc "$out"/*.tar.xz "$apt/pool/main/m/mirovale/"
for arch in amd64 arm64; do
  mkdir -p "$apt/dists/stable/main/binary-$arch"
  (cd "$apt" && apt-ftparchive --arch $arch packages pool >dists/stable/main/binary-$arch/Packages)
done
(cd "$apt" && apt-ftparchive sources pool >dists/stable/main/source/Sources)
for list in "$apt"/dists/stable/main/binary-*/Packages "$apt"/dists/stable/main/source/Sources; do
  gzip -9 -n -k "$list"
done
appstream_data "$apt"
release_date=$(LC_ALL=C date -u -d "@$epoch" '+%a, %d %b %Y %H:%M:%S UTC')
apt-ftparchive -o APT::FTPArchive::Release::Origin=Mirovale -o APT::FTPArchive::Release::Label=Mirovale \
  -o APT::FTPArchive::Release::Suite=stable \
  -o "APT::FTPArchive::Release::Architectures=amd64 arm64" -o APT::FTPArchive::Release::Components=main \
  -o "APT::FTPArchive::Release::Date=$release_date" \
  -o "APT::FTPArchive::Release::Description=Mirovale, a heightmap viewer" \
  release "$apt/dists/stable" >"$stage/Release"
mv "$stage/Release" "$apt/dists/stable/Release"
# The sources file names the key where users keep it, by Debian's advice for a repository not
# Debian's own: a key of its own, in /etc/apt/keyrings, that vouches for this repository alone.
cat >"$apt/mirovale.sources" <<SOURCES
Types: deb deb-src
URIs: $url
Suites: stable
Components: main
Signed-By: /etc/apt/keyrings/mirovale-archive-keyring.pgp
SOURCES

(cd "$out" && sha256sum "${debian[@]}" mirovale-"$version"-windows-x86_64.zip mirovale-"$version"-web.zip \
  mirovale-"$version".tar.gz >SHA256SUMS)

if [ -z "$key" ]; then
  echo "Wrote mirovale $version in $out. Nothing is signed: the repository cannot be used until it is (--key KEY)."
  exit 0
fi
sign() { gpg --batch --yes --local-user "$key" "$@"; }
sign --armor --detach-sign --output "$out/SHA256SUMS.asc" "$out/SHA256SUMS"
sign --clearsign --output "$apt/dists/stable/InRelease" "$apt/dists/stable/Release"
sign --armor --detach-sign --output "$apt/dists/stable/Release.gpg" "$apt/dists/stable/Release"
gpg --batch --export "$key" >"$apt/mirovale-archive-keyring.pgp"
echo "Wrote mirovale $version in $out, signed with $key."
