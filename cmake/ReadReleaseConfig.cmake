# Reads a release configuration as the builds will read it (their initial cache) and prints the
# settings scripts/release judges before it builds anything, one NAME=VALUE a line.
# Usage: cmake -DCONFIG=FILE -P cmake/ReadReleaseConfig.cmake
include("${CONFIG}")
# Any value CMake takes for true (ON, YES, 1, ...) counts.
if(QOR_TEST_MODE)
  set(test_mode ON)
else()
  set(test_mode OFF)
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "QOR_TEST_MODE=${test_mode}")
