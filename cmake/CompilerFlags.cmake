# Flags every target of ours carries through qor::flags. Third-party code (googletest built from
# source in the Windows build) does not get them.
add_library(qor_flags INTERFACE)
add_library(qor::flags ALIAS qor_flags)

# Sources are UTF-8; every string literal becomes the same GBK byte string in every binary.
# clang knows no execution character set but UTF-8; it builds only the fuzz targets, which
# compare no Chinese texts.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(qor_flags INTERFACE -finput-charset=UTF-8 -Wall -Wextra)
else()
  target_compile_options(qor_flags INTERFACE -finput-charset=UTF-8 -fexec-charset=GBK
                                             -Wall -Wextra)
endif()
if(QOR_WERROR)
  target_compile_options(qor_flags INTERFACE -Werror)
endif()
target_include_directories(qor_flags INTERFACE "${PROJECT_SOURCE_DIR}/src")

if(WIN32)
  # No DLL beside setup.exe: the C and C++ runtimes and winpthreads are linked in.
  target_link_options(qor_flags INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(qor_flags INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Reproducible files: no build time stamp in the PE header, no build paths in the code.
  target_link_options(qor_flags INTERFACE -Wl,--no-insert-timestamp)
endif()

# The rules of the code that setup programs are made of: every library under src/ links this
# privately, so its own sources get them and nothing that merely links such a library does (tests,
# qor, the demo installer and the benchmarks build with the plain flags above). On Windows,
# src/runtime fills it with the options that keep parts of the C++ runtime out of the shipped
# programs, each proven on the compiler at hand; elsewhere it is empty.
add_library(qor_setup_code INTERFACE)
add_library(qor::setup_code ALIAS qor_setup_code)
target_compile_options(qor_flags INTERFACE "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")

if(QOR_SANITIZE)
  target_compile_options(qor_flags INTERFACE -fsanitize=${QOR_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(qor_flags INTERFACE -fsanitize=${QOR_SANITIZE})
endif()
if(QOR_FUZZ)
  target_compile_options(qor_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                             -fno-omit-frame-pointer)
  target_link_options(qor_flags INTERFACE -fsanitize=address,undefined)
endif()
