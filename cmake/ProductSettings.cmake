# Build-time configuration of a setup program. Nothing is read at run time: the ten verification
# base URLs, the loopback URL, the test mode and the answer key are compiled in. The cache holds
# the shipped values; qor_product_settings() makes a settings library from any such set, so the
# release setup.exe and the test variants come from the same code.

set(QOR_SERVER_URLS
    "http://check1.velmora.com/;http://check2.velmora.com/;http://www.velmora.com/;http://check3.velmora.com/;http://check4.velmora.com/;http://mirror1.qorsoft.net/;http://mirror2.qorsoft.net/;http://mirror3.qorsoft.net/;http://mirror4.qorsoft.net/;http://www.pagrim.cn/"
    CACHE STRING "The ten verification base URLs E1..E10 (E3 is the home page)")
set(QOR_LOOPBACK_URL "http://localhost/" CACHE STRING "Base URL put first in test mode")
option(QOR_TEST_MODE "Put the loopback base URL first in the server list" OFF)
# The answer key. With these values every fingerprint can be published: the running key always
# stays within 0x5000..0x57FF (7 * 255 + 20659 < 0x5800), so an enciphered hex digit is one of
# "01234567`abcdefghijklmno", never an upper-case letter, a byte 0..32, a backslash or one of the
# characters the client unescapes; lower-casing, trimming and unescaping leave it as it is. The
# unit tests prove it over every reachable running key.
set(QOR_ANSWER_KEY "7;20659;21449" CACHE STRING "Answer key: Multiplier;Increment;StartKey")

# qor_product_settings(<name> [SERVERS url...] [LOOPBACK url] [TEST_MODE ON|OFF] [KEY m a k])
# Creates the object library <name> that defines the settings declared in
# src/params/product_settings.h. Unset arguments take the cache values.
function(qor_product_settings name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LOOPBACK;TEST_MODE" "SERVERS;KEY")
  if(NOT DEFINED arg_SERVERS)
    set(arg_SERVERS ${QOR_SERVER_URLS})
  endif()
  if(NOT DEFINED arg_LOOPBACK)
    set(arg_LOOPBACK "${QOR_LOOPBACK_URL}")
  endif()
  if(NOT DEFINED arg_TEST_MODE)
    set(arg_TEST_MODE ${QOR_TEST_MODE})
  endif()
  if(NOT DEFINED arg_KEY)
    set(arg_KEY ${QOR_ANSWER_KEY})
  endif()

  list(LENGTH arg_SERVERS count)
  if(NOT count EQUAL 10)
    message(FATAL_ERROR "${name}: exactly ten server base URLs are needed, got ${count}")
  endif()
  set(QOR_SERVER_INITIALIZERS "")
  foreach(url IN LISTS arg_SERVERS)
    if(NOT url MATCHES "^http://[^/]+/$")
      message(FATAL_ERROR "${name}: '${url}' is not an http base URL ending in '/'")
    endif()
    string(APPEND QOR_SERVER_INITIALIZERS "    \"${url}\",\n")
  endforeach()
  list(LENGTH arg_KEY key_count)
  if(NOT key_count EQUAL 3)
    message(FATAL_ERROR "${name}: the answer key needs three numbers")
  endif()
  list(GET arg_KEY 0 QOR_KEY_MULTIPLIER)
  list(GET arg_KEY 1 QOR_KEY_INCREMENT)
  list(GET arg_KEY 2 QOR_KEY_START)
  set(QOR_LOOPBACK "${arg_LOOPBACK}")
  if(arg_TEST_MODE)
    set(QOR_TEST_MODE_VALUE true)
  else()
    set(QOR_TEST_MODE_VALUE false)
  endif()

  set(out "${CMAKE_CURRENT_BINARY_DIR}/${name}/product_settings.cpp")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/product_settings.cpp.in" "${out}" @ONLY)
  # An object library: its one object is linked in whole, so the order of the static libraries
  # that use the settings does not matter.
  add_library(${name} OBJECT "${out}")
  target_link_libraries(${name} PRIVATE qor::flags)
endfunction()
