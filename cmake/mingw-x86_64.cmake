# Cross toolchain of the test twin: the same sources for 64-bit Windows, for hosts whose kernel
# cannot execute 32-bit x86 code (32-bit Wine cannot start there; 64-bit Wine can). Never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
