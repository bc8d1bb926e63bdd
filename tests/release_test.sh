#!/usr/bin/env bash
# Makes a release of this checkout with tools/release.sh and a throwaway key, and takes it as users
# take it:
# - the release is of a copy of the checkout whose home (debian/control's Homepage) is the loopback
#   server, which serves the release and, beside it, the screenshot;
# - SHA256SUMS lists the nine downloads, and sha256sum and gpgv pass on it;
# - apt, with a configuration of its own that leaves this machine's as it is, reads the repository
#   from a loopback HTTP server: update verifies it with nothing to say, download gives each
#   architecture's package as SHA256SUMS lists it, source fetches and unpacks the source package,
#   which dpkg-buildpackage builds into the very bytes of the amd64 package, and a list changed
#   after signing is refused;
# - the metainfo passes appstreamcli validate with no error and no warning, and the repository's
#   AppStream data, fetched by apt as a desktop's apt fetches it, dated by the changelog alone, has
#   appstreamcli find Mirovale before it is installed, with its summary, icon and screenshot;
# - each package holds a program for its own architecture and the bundled terrain, and the two
#   packages depend on the same;
# - each zip holds its own files alone, and the tarball the files git keeps, all dated by the
#   changelog; unpacked where there is no .git, the tarball builds a viewer that draws the Linux
#   build's first picture;
# - a second release, made by another user with another umask, in a deeper folder, with the clock
#   two days on, is the same bytes: every download but the .buildinfo files (which say when and
#   by whom the packages were built), and the repository's lists, AppStream data and Release file.
# First, what is refused before anything is built or removed: a clone with a change, naming it; an
# --out folder holding anything but a release; a --url with a space or a line break; a changelog
# dated in the future.
# Usage: tests/release_test.sh SCREENSHOT TERRAIN   (the tests' screenshot tool and their terrain)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 SCREENSHOT TERRAIN" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
screenshot=$(realpath "$1") terrain=$(realpath "$2")
work=$(mktemp -d)
export GNUPGHOME=$work/gnupg
server=""
trap '[ -z "$server" ] || kill "$server"; gpgconf --kill gpg-agent 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
epoch=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Timestamp)
downloads=(mirovale_"$version"_amd64.deb mirovale_"$version"_arm64.deb mirovale-"$version"-windows-x86_64.zip
  mirovale-"$version"-web.zip mirovale-"$version".tar.gz mirovale_"$version".dsc mirovale_"$version".tar.xz
  mirovale_"$version"_amd64.buildinfo mirovale_"$version"_arm64.buildinfo)
sorted() { printf '%s\n' "$@" | LC_ALL=C sort; }

git clone -q "$source" "$work/clone"
cp "$source/tools/release.sh" "$work/clone/tools/"
echo "a change" >>"$work/clone/README.md"
status=0
"$work/clone/tools/release.sh" --url http://127.0.0.1/apt >"$work/refused" 2>&1 || status=$?
[ $status -eq 1 ] && grep -q "no commit holds" "$work/refused" && grep -q " M README.md" "$work/refused" ||
  fail "a checkout with a change was not refused, naming it (status $status): $(cat "$work/refused")"
[ ! -e "$work/clone/build" ] || fail "a checkout with a change was built before it was refused"
git -C "$work/clone" checkout -q README.md
refused() { # WHY ARGUMENT...: release.sh, run with the arguments in the clone, refuses them, saying WHY
  local why=$1 status=0
  shift
  "$work/clone/tools/release.sh" "$@" >"$work/refused" 2>&1 || status=$?
  [ $status -ne 0 ] && grep -q "$why" "$work/refused" || fail "release.sh $* was not refused, saying $why: $(cat "$work/refused")"
  [ -z "$(find "$work/clone" -maxdepth 1 -name 'build*')" ] || fail "release.sh $* built before it refused"
}
mkdir "$work/mine" && echo "kept" >"$work/mine/notes.txt"
refused "no part of a release" --url http://127.0.0.1/apt --out "$work/mine"
[ "$(cat "$work/mine/notes.txt")" = kept ] || fail "release.sh --out removed what the folder held"
refused "an http:// or https:// URL" --url "http://127.0.0.1/a b"
refused "an http:// or https:// URL" --url "http://127.0.0.1/a
Types: deb"
sed -i "1,/^ -- /s/^\( -- .*>  \).*/\1$(date -u -R -d '+1 day')/" "$work/clone/debian/changelog"
refused "still to come" --uncommitted --url http://127.0.0.1/apt
git -C "$work/clone" checkout -q debian/changelog

mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key 'Mirovale test release <release@test.invalid>' ed25519 sign never
key=$(gpg --batch --with-colons --list-secret-keys 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }')
gpg --batch --export "$key" >"$work/key.pgp"

# The server takes any free port and says which on its first line; its folder is filled after. It
# serves the project's home: the release in dist/, and the screenshot the metainfo names.
site=$work/site dist=$work/site/dist
mkdir -p "$dist"
cp "$source/docs/screenshot.png" "$site/"
exec 3< <(exec python3 -u -m http.server --bind 127.0.0.1 --directory "$site" 0 2>"$work/served")
server=$!
read -r -t 30 started <&3 || fail "the loopback HTTP server did not start: $(cat "$work/served")"
port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' <<<"$started")
home=http://127.0.0.1:$port/ url=http://127.0.0.1:$port/dist/apt

# A copy of the checkout, changes and all, whose home is the loopback server.
copy_checkout() { # FOLDER
  git clone -q "$source" "$1"
  git -C "$source" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ ! -e "$source/$file" ] || printf '%s\0' "$file"; done |
    (cd "$source" && xargs -0 -r cp -P --parents -t "$1")
  git -C "$source" ls-files -z --deleted | (cd "$1" && xargs -0 -r rm -f --)
  sed -i "s|^Standards-Version:|Homepage: $home\n&|" "$1/debian/control"
}
copy_checkout "$work/mirovale"
"$work/mirovale/tools/release.sh" --uncommitted --key "$key" --url "$url" --out "$dist" >"$work/released" 2>&1 ||
  fail "the release failed: $(tail -n 40 "$work/released")"
grep -q "no commit's release" "$work/released" || fail "a release of a checkout with changes did not say so"
cd "$dist"
[ "$(sorted *)" = "$(sorted "${downloads[@]}" SHA256SUMS SHA256SUMS.asc apt)" ] ||
  fail "the release holds $(echo *), not ${downloads[*]}, SHA256SUMS, SHA256SUMS.asc and apt"
[ "$(awk '{ print $2 }' SHA256SUMS | LC_ALL=C sort)" = "$(sorted "${downloads[@]}")" ] ||
  fail "SHA256SUMS lists $(awk '{ print $2 }' SHA256SUMS | paste -sd' '), not ${downloads[*]}"
sha256sum --quiet -c SHA256SUMS || fail "the downloads are not what SHA256SUMS says"
gpgv --keyring "$work/key.pgp" SHA256SUMS.asc SHA256SUMS 2>"$work/gpgv" ||
  fail "SHA256SUMS is not signed with the release's key: $(cat "$work/gpgv")"

# The repository, added as the README says, with the key and the sources file kept here instead.
cmp -s apt/mirovale-archive-keyring.pgp "$work/key.pgp" ||
  fail "apt/mirovale-archive-keyring.pgp is not the release's key, unarmoured"
grep -qx "URIs: $url" apt/mirovale.sources && grep -qx "Types: deb deb-src" apt/mirovale.sources &&
  grep -qx "Signed-By: /etc/apt/keyrings/mirovale-archive-keyring.pgp" apt/mirovale.sources ||
  fail "apt/mirovale.sources names another address, or another key: $(cat apt/mirovale.sources)"
root=$work/apt
mkdir -p "$root"/etc/apt/{apt.conf.d,preferences.d,sources.list.d,trusted.gpg.d} "$root/keyrings" \
  "$root"/var/lib/{apt/lists/partial,dpkg} "$root/var/cache/apt/archives/partial" "$work/downloaded"
: >"$root/var/lib/dpkg/status"
cp apt/mirovale-archive-keyring.pgp "$root/keyrings/"
sed "s,^Signed-By: /etc/apt/keyrings/,Signed-By: $root/keyrings/," apt/mirovale.sources \
  >"$root/etc/apt/sources.list.d/mirovale.sources"
cat >"$root/apt.conf" <<CONF
Dir "$root/";
Dir::State::status "$root/var/lib/dpkg/status";
Dir::Bin::Methods "/usr/lib/apt/methods";
APT::Architecture "amd64";
APT::Architectures { "amd64"; "arm64"; };
APT::Sandbox::User "$(id -un)";
CONF
# apt fetches the AppStream data as a desktop's apt does: the lists that appstream's configuration
# names, and the icons that apt-config-icons (which GNOME Software and Discover bring) adds. The
# hook that refreshes this machine's own AppStream cache after an update is left out.
cp /etc/apt/apt.conf.d/50appstream /etc/apt/apt.conf.d/60icons "$root/etc/apt/apt.conf.d/"
echo '#clear APT::Update::Post-Invoke-Success;' >"$root/etc/apt/apt.conf.d/99no-refresh-here"
apt_get() { APT_CONFIG=$root/apt.conf apt-get -q "$@"; }
apt_get update >"$work/update" 2>&1 || fail "apt-get update failed: $(cat "$work/update")"
! grep -vE '^(Get:|Hit:|Fetched |Reading package lists)' "$work/update" ||
  fail "apt-get update had more to say than what it fetched: $(cat "$work/update")"
for arch in amd64 arm64; do
  deb=mirovale_${version}_$arch.deb
  (cd "$work/downloaded" && apt_get download "mirovale:$arch" >"$work/download" 2>&1) ||
    fail "apt-get download mirovale:$arch failed: $(cat "$work/download")"
  grep -qx "$(cd "$work/downloaded" && sha256sum "$deb")" SHA256SUMS ||
    fail "apt-get download mirovale:$arch gave another file than SHA256SUMS lists"

  # Its program is one of its own architecture (the ELF header's e_machine), and its terrain the
  # tests' own.
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb says it is for $(dpkg-deb -f "$deb" Architecture)"
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/mirovale >"$work/program"
  machine=$(od -An -t u2 -j 18 -N 2 "$work/program" | tr -d ' ')
  case $machine in 62) elf=amd64 ;; 183) elf=arm64 ;; *) elf="ELF machine $machine" ;; esac
  [ "$elf" = "$arch" ] || fail "$deb holds a program for $elf"
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/mirovale/sample.raw | cmp -s - "$terrain" ||
    fail "$deb holds another terrain than the tests'"
done
[ "$(dpkg-deb -f "${downloads[0]}" Homepage)" = "$home" ] ||
  fail "the package's Homepage is $(dpkg-deb -f "${downloads[0]}" Homepage), not debian/control's $home"
[ "$(dpkg-deb -f "${downloads[0]}" Depends)" = "$(dpkg-deb -f "${downloads[1]}" Depends)" ] ||
  fail "the packages depend on different packages: $(dpkg-deb -f "${downloads[0]}" Depends) and $(dpkg-deb -f "${downloads[1]}" Depends)"
# The metainfo, whose home is set: with no error or warning, for software centres drop a component
# with errors. (--pedantic remarks are infos, which do not fail it; without --no-net it fetches the
# homepage and screenshot too.)
mkdir "$work/tree"
dpkg-deb --extract "${downloads[0]}" "$work/tree"
metainfo=$(echo "$work"/tree/usr/share/metainfo/*.metainfo.xml)
id=$(basename "$metainfo" .metainfo.xml)
appstreamcli validate-tree --pedantic "$work/tree" >"$work/validated" 2>&1 ||
  fail "appstreamcli finds fault with the metainfo: $(cat "$work/validated")"
# The AppStream data in the repository, dated by the changelog alone: no time of its making.
dep11=apt/dists/stable/main/dep11
! zgrep -l '^Time:' $dep11/Components-*.yml.gz || fail "the AppStream data holds the time it was made (above)"
for icons in $dep11/icons-*.tar.gz; do
  dates=$(TZ=UTC0 tar --full-time -tvzf "$icons" | awk '{ print $4, $5 }' | sort -u)
  [ -z "$dates" ] || [ "$dates" = "$(date -u -d "@$epoch" '+%F %T')" ] || fail "$icons holds files dated $dates"
done
# And read as appstreamcli reads it on a desktop with the repository added, before Mirovale is
# installed: in a mount namespace whose /var/lib and /var/cache are the private root's, where apt
# put its lists, and where the metadata of this machine's own packages is hidden.
mkdir "$work/empty"
as_desktop() { # COMMAND...
  local enter=(unshare --mount)
  [ "$(id -u)" -eq 0 ] || enter=(unshare --map-root-user --mount)
  "${enter[@]}" bash -c 'mount --bind "$1/var/lib" /var/lib && mount --bind "$1/var/cache" /var/cache || exit
    for hidden in /usr/share/metainfo /usr/share/swcatalog /usr/share/app-info; do
      [ ! -d $hidden ] || mount --bind "$2" $hidden || exit
    done
    shift 2 && exec "$@"' _ "$root" "$work/empty" "$@"
}
as_desktop appstreamcli refresh --force >"$work/refreshed" 2>&1 || fail "appstreamcli refresh failed: $(cat "$work/refreshed")"
summary=$(sed -n 's/^Comment=//p' "$work/tree/usr/share/applications/mirovale.desktop")
as_desktop appstreamcli search heightmap >"$work/found" 2>&1 || true # (its status says whether it found any)
grep -qx "Identifier: $id \[desktop-application\]" "$work/found" && grep -qx "Summary: $summary" "$work/found" ||
  fail "appstreamcli search heightmap does not find $id, saying \"$summary\", in the repository: $(cat "$work/found")"
as_desktop appstreamcli get "$id" --details >"$work/details" 2>&1 || fail "appstreamcli get $id failed: $(cat "$work/details")"
icon=$(sed -n 's/^Icon: //p' "$work/details")
[ -n "$icon" ] && [ -e "$(echo "$root"/var/lib/swcatalog/icons/*/64x64/"$icon")" ] ||
  fail "appstreamcli has no icon of $id cached from the repository: $(cat "$work/details")"
grep -qx "Homepage: $home" "$work/details" || fail "$id's homepage is not $home: $(cat "$work/details")"
shot=$(sed -n '/^Default Screenshot URL:/{n;s/^ *//p}' "$work/details")
[[ $shot == "$url/media/"*.png ]] || fail "$id's screenshot is not under $url/media/: $(cat "$work/details")"
python3 - "$shot" <<'PYTHON' || fail "the screenshot at $shot could not be fetched, or is not 512 x 512"
import struct, sys, urllib.request
png = urllib.request.urlopen(sys.argv[1], timeout=30).read()
assert png[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", png[16:24]) == (512, 512)
PYTHON

# The source, as apt source fetches it: the release's own, which builds the very same package.
mkdir "$work/fetched"
(cd "$work/fetched" && apt_get source mirovale >"$work/source" 2>&1) || fail "apt-get source mirovale failed: $(cat "$work/source")"
for file in "${downloads[5]}" "${downloads[6]}"; do
  cmp -s "$work/fetched/$file" "$file" || fail "apt-get source gave another $file than the release's"
done
(cd "$work/fetched/mirovale-$version" && dpkg-buildpackage -us -uc -b -j"$(nproc)") >"$work/rebuilt" 2>&1 ||
  fail "the source apt-get source gave does not build: $(tail -n 40 "$work/rebuilt")"
cmp -s "$work/fetched/${downloads[0]}" "${downloads[0]}" ||
  fail "built from the source apt-get source gave, the amd64 package is not the release's bytes"

# The zips: their own files alone, in the order of their names, dated by the changelog (zip keeps
# times to the even second), each of mode 644 but the Windows program, 755, with no extra field.
entries() { # ZIP FILE... : the zip holds these, and only these, dated by the changelog
  python3 - "$epoch" "$@" <<'PYTHON' || fail "$1 is not as it should be (above)"
import sys, time, zipfile
epoch, path, expected = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
entries = zipfile.ZipFile(path).infolist()
names = [entry.filename for entry in entries]
when = time.gmtime(epoch - epoch % 2)[:6]
others = [f"{entry.filename} {entry.date_time}" for entry in entries if entry.date_time != when]
modes = [f"{entry.filename} {entry.external_attr >> 16:o}" for entry in entries
         if entry.external_attr >> 16 != (0o100755 if entry.filename.endswith(".exe") else 0o100644)]
if names != expected:
    sys.exit(f"{path} holds {' '.join(names)} where it should hold {' '.join(expected)}")
if others:
    sys.exit(f"{path} has entries dated otherwise than the changelog's {when}: {' '.join(others)}")
if modes:
    sys.exit(f"{path} has entries of other modes than 644, or 755 for the program: {' '.join(modes)}")
extras = [entry.filename for entry in entries if entry.extra]
if extras:
    sys.exit(f"{path} keeps more than zip's own fields (its builder's owner, or disk times): {' '.join(extras)}")
PYTHON
}
entries "${downloads[2]}" mirovale-windows-x86_64/{LICENSE.txt,mirovale.exe,sample.raw}
entries "${downloads[3]}" mirovale/{LICENSE.txt,icon-192.png,icon-512.png,index.html,index.js,index.wasm,manifest.webmanifest,sample.raw,service-worker.js}
for zip in "${downloads[2]}" "${downloads[3]}"; do
  python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); sys.stdout.buffer.write(z.read(sys.argv[2]))' \
    "$zip" "$(python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist()[0])' "$zip")" |
    cmp -s - "$source/LICENSE" || fail "$zip's LICENSE.txt is not the project's LICENSE"
done

# The tarball: the files git keeps, in one folder, dated by the changelog.
[ "$(tar -tzf "${downloads[4]}")" = "$(git -C "$source" ls-files | sed "s,^,mirovale-$version/,")" ] ||
  fail "${downloads[4]} does not hold the files git keeps: $(diff <(tar -tzf "${downloads[4]}") \
    <(git -C "$source" ls-files | sed "s,^,mirovale-$version/,") | head -n 5)"
[ "$(TZ=UTC0 tar --full-time -tvzf "${downloads[4]}" | awk '{ print $4, $5 }' | sort -u)" = \
  "$(date -u -d "@$epoch" '+%F %T')" ] || fail "${downloads[4]} has files dated otherwise than the changelog"
mkdir "$work/unpacked"
tar -xzf "${downloads[4]}" -C "$work/unpacked"
tree=$work/unpacked/mirovale-$version
! git -C "$tree" rev-parse 2>/dev/null || fail "$tree lies inside a git checkout"
(cd "$tree" && cmake --preset release && cmake --build --preset release -j "$(nproc)") >"$work/built" 2>&1 ||
  fail "the tarball does not build: $(tail -n 40 "$work/built")"
"$screenshot" --viewer "$tree/build/mirovale" "$terrain" "$work/released.png"
"$screenshot" "$terrain" "$work/linux.png"
cmp -s "$work/released.png" "$work/linux.png" ||
  fail "the viewer built from the tarball draws another first picture than the Linux build's"

# A second release of the same files by another builder: another user (nobody, or where the tests
# are not root, root in a user namespace of its own), umask 002 as Debian 13 gives users, a deeper
# folder, and the clock two days on. Everything but the .buildinfo files and the signatures is the
# same bytes.
chmod 711 "$work"
other=$work/other/builder/in/a/deeper/folder
copy_checkout "$other/mirovale"
mkdir "$work/other/home"
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$work/other"
  as_other=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  as_other=(unshare --map-root-user)
fi
"${as_other[@]}" env HOME="$work/other/home" bash -c 'umask 002 && cd "$1" &&
  exec faketime -f +2d tools/release.sh --uncommitted --url "$2" --out "$3"' _ "$other/mirovale" "$url" "$work/other/dist" \
  >"$work/other/released" 2>&1 || fail "the second release failed: $(tail -n 40 "$work/other/released")"
for file in "${downloads[@]}" apt/dists/stable/main/{binary-amd64,binary-arm64}/Packages{,.gz} \
  apt/dists/stable/main/source/Sources{,.gz} apt/dists/stable/main/dep11/* $(find apt/media -type f) \
  apt/dists/stable/Release; do
  [[ $file == *.buildinfo ]] || cmp -s "$file" "$work/other/dist/$file" ||
    fail "released by another user, with umask 002, in $other, two days on, $file is not the same bytes"
done

# Last, a list changed after signing: apt reads the lists anew, and refuses it.
lists=apt/dists/stable/main/binary-amd64
sed -i "s/^Version: .*/Version: $version+changed/" $lists/Packages
gzip -9 -n -f -k $lists/Packages
rm -rf "$root/var/lib/apt/lists" && mkdir -p "$root/var/lib/apt/lists/partial"
! apt_get update >"$work/changed" 2>&1 || fail "apt-get update took a list changed after signing"
grep -q "binary-amd64/Packages.*\(Hash Sum mismatch\|File has unexpected size\)" "$work/changed" ||
  fail "apt-get update refused a list changed after signing, but not for its checksum: $(cat "$work/changed")"
echo "The release of $version is signed and whole, apt takes its repository, and its source builds the Linux build's picture"
