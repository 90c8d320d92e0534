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
  # No stack probes: gcc probes only frames over 4000 bytes, and a frame limit (an error even
  # without QOR_WERROR, with variable-length arrays and alloca) keeps every frame of ours under it,
  # so no probe is lost. Without probes gcc may push call arguments instead of reserving room for
  # them in every prologue: some 5 KiB less code in setup.exe.
  target_compile_options(qor_flags INTERFACE -mno-stack-arg-probe -Werror=frame-larger-than=4000
                                             -Werror=vla -Werror=alloca)
  # Reproducible files: no build time stamp in the PE header, no build paths in the code.
  target_link_options(qor_flags INTERFACE -Wl,--no-insert-timestamp)
  # Smaller static programs: see the header for why. (Quoted: the source path may hold spaces.)
  target_compile_options(qor_flags INTERFACE
                         "SHELL:-include \"${PROJECT_SOURCE_DIR}/cmake/win32/implicit_templates.h\"")
endif()
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
