# Shared by tools/package and tools/test: the Debian package, made with CPack
# from build/, and its install test.

# What making and checking the package needs besides the build's packages:
# help2man for the manual pages, dpkg-shlibdeps (dpkg-dev) for the
# dependencies, desktop-file-validate and file for the test.
PACKAGE_PACKAGES=(help2man dpkg-dev desktop-file-utils file)

# build_deb: configures build/ again (so that a help2man installed since is
# found), builds what changed (the manual pages), makes the package in
# build/package/ and prints its path.
build_deb() {
  local log="$KORVEL_ROOT/build/package.log"
  rm -f "$KORVEL_ROOT"/build/package/korvel2tqf_*.deb
  {
    cmake "$KORVEL_ROOT/build" && cmake --build "$KORVEL_ROOT/build" -j "$JOBS" \
      && (cd "$KORVEL_ROOT/build" && cpack -B package)
  } >"$log" 2>&1 || { cat "$log" >&2; return 1; }
  ls "$KORVEL_ROOT"/build/package/korvel2tqf_*_amd64.deb
}

# check_deb DEB: unpacked into a fresh folder and tried there.
check_deb() {
  "$KORVEL_ROOT/tests/package/check_deb.sh" "$1"
}
