# Cross-compiles for 64-bit Arm Linux (Debian's arm64) with Debian's cross-compiler
# (crossbuild-essential-arm64), against the arm64 libraries dpkg keeps beside this machine's own
# (libglut-dev:arm64 and the like, once arm64 is one of dpkg's architectures).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER ${CMAKE_LIBRARY_ARCHITECTURE}-gcc)
set(CMAKE_CXX_COMPILER ${CMAKE_LIBRARY_ARCHITECTURE}-g++)

# Libraries are looked for in the arm64 folder, named above, and pkg-config reads only the .pc files
# there and the shared ones: this machine's own would otherwise be found first, and linked.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/pkgconfig:/usr/share/pkgconfig)
