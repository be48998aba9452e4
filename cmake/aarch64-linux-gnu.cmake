# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit ARM (a Raspberry Pi with a 64-bit Raspberry Pi OS)
# on a Debian machine with the arm64 libraries installed beside its own
# (dpkg --add-architecture arm64; scripts/deps arm64 names them). Qt's code
# generators (moc, rcc, qdbusxml2cpp) run from the build machine's Qt.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Debian's multiarch puts the arm64 libraries and their CMake files under
# /usr/lib/aarch64-linux-gnu, so the root is the machine's own; programs are
# the build machine's, libraries and headers the target's.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr)
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
    OUTPUT_VARIABLE _build_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${_build_multiarch}/cmake)

# pkg-config (libmosquitto) reads the arm64 .pc files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

