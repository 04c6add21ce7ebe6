# Third-party code: GoogleTest from Debian's source, zlib, libzip.
# Windows: zlib from Debian's mingw package, libzip cross-built by scripts/build into
# build/deps/win-libzip. Natively: libzip-dev and pxlib-dev (tests only).
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
if(WIN32)
  set(KX_WIN_LIBZIP_PREFIX "${CMAKE_SOURCE_DIR}/build/deps/win-libzip" CACHE PATH "cross-built libzip")
  set(libzip_DIR "${KX_WIN_LIBZIP_PREFIX}/lib/cmake/libzip")
  find_package(libzip CONFIG REQUIRED NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  add_library(libzip::zip ALIAS PkgConfig::LIBZIP)
  pkg_check_modules(PXLIB IMPORTED_TARGET pxlib)
endif()

# Windows runtime DLLs that every deliverable shares (one C++ runtime, so exceptions
# cross the plug-in boundary).
if(WIN32)
  set(KX_RUNTIME_DLLS
    /usr/lib/gcc/i686-w64-mingw32/12-posix/libstdc++-6.dll
    /usr/lib/gcc/i686-w64-mingw32/12-posix/libgcc_s_dw2-1.dll
    /usr/i686-w64-mingw32/lib/libwinpthread-1.dll)
endif()

# Host tools used at build time (form compiler, table tool). In the Windows tree they come
# from the native tree, which scripts/build builds first.
set(KX_HOST_TOOLS_DIR "" CACHE PATH "folder of the native build's tools (bin)")
