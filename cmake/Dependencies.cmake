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

# qor's JSON output: Debian's header-only nlohmann-json3-dev. The cross compilers search only their
# own sysroot; /usr/include would hand them glibc's headers too, so the Windows build is given a
# folder of its own that holds just the link to the library's headers.
if(CMAKE_CROSSCOMPILING)
  find_path(QOR_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT QOR_NLOHMANN_JSON_INCLUDE)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/bootstrap)")
  endif()
  set(json_include "${CMAKE_BINARY_DIR}/nlohmann-json-include")
  file(MAKE_DIRECTORY "${json_include}")
  file(CREATE_LINK "${QOR_NLOHMANN_JSON_INCLUDE}/nlohmann" "${json_include}/nlohmann" SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES "${json_include}")
else()
  find_package(nlohmann_json 3 REQUIRED)
endif()
