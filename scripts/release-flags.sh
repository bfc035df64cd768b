# Sourced by test.sh and package.sh: the flags Debian builds its packages with. The plain
# test build uses them too, so the suite runs the very binaries the package ships and the
# package is made from that build instead of a build of its own.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
release_flags=(
  -DCMAKE_BUILD_TYPE=None # no flags of its own: only the ones below, as Debian builds packages
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
)
