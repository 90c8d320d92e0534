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
# The signing settings, so that a signing way that cannot work is refused before the build.
foreach(name QOR_SIGN_CERT QOR_SIGN_KEY QOR_SIGN_PASS_FILE QOR_SIGN_PKCS11_MODULE
             QOR_SIGN_PKCS11_KEY QOR_SIGN_PKCS11_CERT QOR_SIGN_PIN_FILE QOR_SIGN_COMMAND
             QOR_SIGN_TIME QOR_SIGN_CAFILE QOR_SIGN_TIMESTAMP_URL QOR_SIGN_TSA_CAFILE)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${name}=${${name}}")
endforeach()
