#!/usr/bin/env bash
# The debian lane: the Debian package built and tested as Debian builds and tests its own, each
# step one test of the lane, all on the packages that `build` makes in WORK.
#
# | step        | what it checks                                                                  |
# |-------------|---------------------------------------------------------------------------------|
# | build       | the source package (tools/source_package.sh), and from it the binary package    |
# |             | with dpkg-buildpackage (unit tests and all), and on amd64 the arm64 one,        |
# |             | cross-built; and the bare system of this machine's release, where missing       |
# | sbuild      | sbuild builds the source package in that bare system from its Build-Depends     |
# |             | alone, successfully, into the very bytes of the host's package                  |
# | lintian     | lintian has nothing to say of the source package or of either binary package,   |
# |             | pedantic and informational tags included, but what the override files explain   |
# | autopkgtest | the package's own test passes, installed in that bare system                    |
# | contents    | each package holds its files alone, with its menu entry valid, depends on GLUT  |
# |             | and GL, the same on both architectures; its program is hardened                 |
# |             | (hardening-check) and every compile and link of its build too (blhc); the       |
# |             | licence is MIT's, in LICENSE and in debian/copyright alike (licensecheck)       |
#
# The bare systems are mmdebstrap's buildd variant, kept where sbuild looks for them,
# ~/.cache/sbuild/CODENAME-ARCH.tar: delete one to have it made anew. sbuild and autopkgtest bring
# its packages up to date each time.
# Usage: tests/debian_test.sh STEP WORK TERRAIN   (TERRAIN: the bundled terrain the tests built)
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 build|sbuild|lintian|autopkgtest|contents WORK TERRAIN" >&2 && exit 2; }
step=$1 work=$(realpath -m -- "$2") terrain=$(realpath -- "$3")
source=$(cd "$(dirname "$0")/.." && pwd)
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
bare=${XDG_CACHE_HOME:-$HOME/.cache}/sbuild/$codename-$arch.tar
# The architectures built: this machine's, and on amd64 arm64's too, cross-built.
arches=("$arch")
[ "$arch" != amd64 ] || arches+=(arm64)
deb() { echo "$work/mirovale_${version}_$1.deb"; }
dsc=$work/source/mirovale_$version.dsc

# The metainfo in an unpacked package: valid, and saying what the menu entry says. A component with
# an error or a warning is one that software centres may drop, so each fails, but one: with no
# home in debian/control there is neither homepage nor screenshot, and AppStream 1.0 warns
# url-homepage-missing (docs/appstream.md).
appstream() { # UNPACKED
  local said remarks
  said=$(appstreamcli validate-tree --pedantic --no-net "$1" 2>&1) || true
  remarks=$(grep -E '^ *[EW]: ' <<<"$said" || true)
  grep -q '^Homepage:' "$source/debian/control" || remarks=$(grep -v ': url-homepage-missing$' <<<"$remarks" || true)
  [ -z "$remarks" ] && grep -q 'Validation \(was successful\|failed\)' <<<"$said" ||
    fail "appstreamcli finds fault with the metainfo: $said"
  python3 - "$1" <<'PYTHON' || fail "the metainfo and the menu entry disagree (above)"
import glob, sys, xml.etree.ElementTree as ET
lines = open(f"{sys.argv[1]}/usr/share/applications/mirovale.desktop").read().splitlines()
entry = dict(line.split("=", 1) for line in lines if "=" in line)
component = ET.parse(glob.glob(f"{sys.argv[1]}/usr/share/metainfo/*.metainfo.xml")[0]).getroot()
said = {
    "Name": component.findtext("name"),
    "Comment": component.findtext("summary"),
    "Icon": component.findtext("icon"),
    "Categories": "".join(f"{c.text};" for c in component.iter("category")),
    "Keywords": "".join(f"{k.text};" for k in component.iter("keyword")),
}
launched = component.findtext("launchable[@type='desktop-id']")
wrong = [f"{key}: {entry.get(key)} in the menu entry, {value} in the metainfo"
         for key, value in said.items() if entry.get(key) != value]
if launched != "mirovale.desktop":
    wrong.append(f"the metainfo launches {launched}, not the menu entry mirovale.desktop")
if wrong:
    sys.exit("\n".join(wrong))
PYTHON
}

case $step in
build)
  rm -rf "$work" && mkdir -p "$work"
  "$source/tools/debian_packages.sh" "$work" "${arches[@]}" || fail "the Debian packages did not build (above)"
  if [ ! -e "$bare" ]; then
    echo "Making the bare Debian $codename ($arch) that sbuild and autopkgtest use, in $bare"
    mkdir -p "$(dirname "$bare")"
    # Made beside it and then moved, so that it is there whole or not at all.
    mmdebstrap --quiet --variant=buildd "$codename" "${bare%.tar}.new.tar" >"$work/mmdebstrap.log" 2>&1 ||
      fail "mmdebstrap could not make a bare Debian $codename: $(tail -n 20 "$work/mmdebstrap.log")"
    mv "${bare%.tar}.new.tar" "$bare"
  fi
  ;;

sbuild)
  rm -rf "$work/sbuild" && mkdir -p "$work/sbuild"
  sbuild --chroot-mode=unshare --chroot="$bare" --dist="$codename" --no-run-lintian --no-run-autopkgtest \
    --no-run-piuparts --build-dir="$work/sbuild" "$dsc" >/dev/null 2>&1 || true
  log=$work/sbuild/mirovale_${version}_$arch.build
  [ -e "$log" ] || fail "sbuild left no log"
  grep -qx "Status: successful" "$log" || fail "sbuild did not build the source package ($log): $(grep -E \
    "CMake Error|Could NOT|error:|^E: |^Fail-Stage" "$log" | head -n 20)"
  cmp -s "$work/sbuild/mirovale_${version}_$arch.deb" "$(deb "$arch")" ||
    fail "sbuild's package is not the same bytes as dpkg-buildpackage's: $(diff <(dpkg-deb -I "$(deb "$arch")") \
      <(dpkg-deb -I "$work/sbuild/mirovale_${version}_$arch.deb"))"
  blhc --buildd "$log" || fail "blhc finds sbuild's compiles or links not hardened (above)"
  echo "sbuild built the source package in a bare Debian $codename into the same bytes: $(grep -x 'Status: .*' "$log")"
  ;;

lintian)
  packages=("$dsc")
  for a in "${arches[@]}"; do packages+=("$(deb "$a")"); done
  # Without a home, AppStream 1.0's validator warns url-homepage-missing, and Debian 13's lintian,
  # which runs it, says so (12's has no such tag); the contents step validates the metainfo itself,
  # allowing that warning alone.
  quiet=() tag=appstream-metadata-validation-failed
  grep -q '^Homepage:' "$source/debian/control" || ! lintian-explain-tags $tag >/dev/null 2>&1 ||
    quiet=(--suppress-tags $tag)
  said=$(lintian --info --pedantic $([ "$(id -u)" -ne 0 ] || echo --allow-root) "${quiet[@]}" \
    "${packages[@]}" 2>&1) || fail "lintian failed: $said"
  [ -z "$said" ] || fail "lintian has this to say of ${packages[*]##*/}:
$said"
  echo "lintian has nothing to say of ${packages[*]##*/}"
  ;;

autopkgtest)
  rm -rf "$work/autopkgtest"
  status=0
  autopkgtest --apt-upgrade --output-dir "$work/autopkgtest" --summary-file "$work/autopkgtest.summary" \
    "$(deb "$arch")" "$dsc" -- unshare --release "$codename" --arch "$arch" --tarball "$bare" \
    >"$work/autopkgtest.log" 2>&1 || status=$?
  [ $status -eq 0 ] && grep -q " PASS" "$work/autopkgtest.summary" ||
    fail "autopkgtest failed (status $status): $(tail -n 40 "$work/autopkgtest.log")"
  echo "autopkgtest in a bare Debian $codename: $(cat "$work/autopkgtest.summary")"
  ;;

contents)
  expected="./usr/bin/mirovale
./usr/share/applications/mirovale.desktop
./usr/share/doc/mirovale/changelog.gz
./usr/share/doc/mirovale/copyright
./usr/share/icons/hicolor/256x256/apps/mirovale.png
./usr/share/lintian/overrides/mirovale
./usr/share/man/man1/mirovale.1.gz
./usr/share/metainfo/org.mirovale.mirovale.metainfo.xml
./usr/share/mirovale/sample.raw"
  for a in "${arches[@]}"; do
    package=$(deb "$a") unpacked=$work/unpacked-$a
    listing=$(dpkg-deb --contents "$package")
    files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing")
    [ "$files" = "$expected" ] || fail "the $a package holds
$files
where it should hold
$expected"
    grep -q '^-rwxr-xr-x root/root .* \./usr/bin/mirovale$' <<<"$listing" ||
      fail "the $a package's usr/bin/mirovale is not a program of root's"
    rm -rf "$unpacked" && dpkg-deb --extract "$package" "$unpacked"
    cmp -s "$unpacked/usr/share/mirovale/sample.raw" "$terrain" || fail "the $a package's sample.raw is not the bundled terrain"
    cmp -s "$unpacked/usr/share/doc/mirovale/copyright" "$source/debian/copyright" ||
      fail "the $a package's copyright is not debian/copyright"
    entry=$unpacked/usr/share/applications/mirovale.desktop
    for line in Exec=mirovale Path=/usr/share/mirovale Icon=mirovale; do
      grep -qx "$line" "$entry" || fail "the menu entry lacks the line $line: $(cat "$entry")"
    done
    said=$(desktop-file-validate "$entry" 2>&1) && [ -z "$said" ] || fail "desktop-file-validate: $said"
    appstream "$unpacked"
    depends=$(dpkg-deb --field "$package" Depends)
    [[ $depends == *libglut3.12* && $depends == *libopengl0* ]] ||
      fail "the $a package does not depend on GLUT and GL: $depends"
    [ "$depends" = "$(dpkg-deb --field "$(deb "$arch")" Depends)" ] ||
      fail "the $a package depends on $depends, and the $arch one on $(dpkg-deb --field "$(deb "$arch")" Depends)"
    # What hardening-check can find in an empty program built with what dpkg-buildflags gives this
    # release with every feature on: control flow and branch protection need every object linked
    # in to carry them, and Debian 13's start files on amd64 carry neither. The viewer's one call
    # whose size the compiler could check, fread, reads into a buffer sized at run time, so it
    # calls no fortified function: blhc sees _FORTIFY_SOURCE on every compile instead.
    buildflags() { DEB_HOST_ARCH=$a DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
    echo 'int main() { return 0; }' | "$(dpkg-architecture -a"$a" -qDEB_HOST_GNU_TYPE 2>/dev/null)-g++" \
      $(buildflags CPPFLAGS) $(buildflags CXXFLAGS) $(buildflags LDFLAGS) -x c++ - -o "$work/empty-$a"
    found=$(hardening-check "$work/empty-$a" 2>/dev/null || true)
    skip=(--nofortify)
    grep -q 'Control flow integrity: yes' <<<"$found" || skip+=(--nocfprotection)
    ! grep -q 'Branch Protection: no' <<<"$found" || skip+=(--nobranchprotection)
    hardening-check "${skip[@]}" "$unpacked/usr/bin/mirovale" >"$work/hardening-$a" 2>/dev/null ||
      fail "the $a program is not hardened as Debian's are: $(cat "$work/hardening-$a")"
    # (A cross build's terrain generator is built for this machine, run at build time, and not
    # packaged: it is the build's tool, not the package's.)
    blhc --debian --all --arch="$a" --ignore-line '.*/make_terrain_here .*' "$work/build-$a.log" ||
      fail "blhc finds compiles or links of the $a build without Debian's hardening flags (above)"
  done
  # (licensecheck reads only the files its pattern names: --check=. names them all.)
  licences=$(cd "$source" && licensecheck --check=. LICENSE debian/copyright)
  [ "$licences" = "LICENSE: MIT License
debian/copyright: MIT License" ] || fail "LICENSE and debian/copyright do not both give the MIT licence: $licences"
  echo "The ${arches[*]} packages hold their files alone, hardened; the licence is MIT's"
  ;;

*) fail "no step $step" ;;
esac
