# zlib and, for the tests, GoogleTest. Natively both are Debian's; the Windows build takes zlib
# from libz-mingw-w64-dev and builds GoogleTest from Debian's sources.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

if(QOR_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    # googletest defines the GTest:: aliases itself.
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
