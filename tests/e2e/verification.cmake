# End-to-end tests of the verification stage: setup programs built with their server lists on
# 127.0.0.1 ports, driven from outside under Wine. nginx (started natively on a fixed port by the
# fixture) serves the answer that `qor answer` published for the genuine program; the
# fault-injecting server (started by the test program) serves the rest; a closed port refuses.

set(QOR_E2E_NGINX_PORT 47631 CACHE STRING "Port of the end-to-end tests' nginx")
set(QOR_E2E_FAULT_PORT 47632 CACHE STRING "Port of the end-to-end tests' fault-injecting server")
set(QOR_E2E_CLOSED_PORT 9 CACHE STRING "A 127.0.0.1 port nothing listens on")
# A second nginx for the refuse-first program, which is another program with an answer of its own.
set(QOR_E2E_NGINX2_PORT 47633 CACHE STRING "Port of the end-to-end tests' second nginx")

set(e2e_dir "${CMAKE_CURRENT_BINARY_DIR}/verification")
set(nginx "http://127.0.0.1:${QOR_E2E_NGINX_PORT}/")
set(fault "http://127.0.0.1:${QOR_E2E_FAULT_PORT}/")
set(closed "http://127.0.0.1:${QOR_E2E_CLOSED_PORT}/")
set(nginx2 "http://127.0.0.1:${QOR_E2E_NGINX2_PORT}/")
# Every ordering of the list then asks the same server, so the runs do not depend on the draw.
foreach(kind nginx nginx2 fault closed)
  set(${kind}_x10 "")
  foreach(i RANGE 1 10)
    list(APPEND ${kind}_x10 "${${kind}}")
  endforeach()
endforeach()

qor_add_setup(e2e_genuine SERVERS ${nginx_x10} OUTPUT_DIRECTORY "${e2e_dir}")
# Test mode puts the closed port first: the first server refuses, the second answers.
qor_add_setup(e2e_refuse_first SERVERS ${nginx2_x10} TEST_MODE LOOPBACK "${closed}"
              OUTPUT_DIRECTORY "${e2e_dir}")
# The same servers as e2e_genuine; another loopback text makes it another program, whose
# fingerprint the published answer does not confirm.
qor_add_setup(e2e_foreign SERVERS ${nginx_x10} LOOPBACK "http://127.0.0.1:1/"
              OUTPUT_DIRECTORY "${e2e_dir}")
qor_add_setup(e2e_faulty SERVERS ${fault_x10} OUTPUT_DIRECTORY "${e2e_dir}")
qor_add_setup(e2e_unreachable SERVERS ${closed_x10} OUTPUT_DIRECTORY "${e2e_dir}")

add_executable(verification_e2e_test verification_e2e_test.cpp)
target_link_libraries(verification_e2e_test PRIVATE qor::flags qor_windows_test_support
                                                    qor_verification_core GTest::gtest_main)
target_compile_definitions(verification_e2e_test PRIVATE
  QOR_E2E_NGINX_PORT=${QOR_E2E_NGINX_PORT} QOR_E2E_FAULT_PORT=${QOR_E2E_FAULT_PORT})
set_target_properties(verification_e2e_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${e2e_dir}")
add_custom_command(TARGET verification_e2e_test POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:qor_test_server>
          $<TARGET_FILE:shell_recorder> $<TARGET_FILE:setup> "${e2e_dir}")
add_dependencies(verification_e2e_test e2e_genuine e2e_refuse_first e2e_foreign e2e_faulty
                 e2e_unreachable qor_test_server shell_recorder setup)

# nginx serves what the maker's tool publishes for e2e_genuine.exe, a second one what it publishes
# for e2e_refuse_first.exe. What it publishes for e2e_faulty.exe (www-faulty) the fault-injecting
# server is scripted to send.
set(servers "${CMAKE_CURRENT_SOURCE_DIR}/verification-servers")
add_test(NAME verification_e2e_nginx_start
         COMMAND "${servers}" start "${e2e_dir}" "${QOR_HOST_TOOLS_DIR}/qor" ${QOR_E2E_NGINX_PORT}
                 ${QOR_E2E_NGINX2_PORT})
add_test(NAME verification_e2e_nginx_stop COMMAND "${servers}" stop "${e2e_dir}")
set_tests_properties(verification_e2e_nginx_start PROPERTIES FIXTURES_SETUP verification_nginx)
set_tests_properties(verification_e2e_nginx_stop PROPERTIES FIXTURES_CLEANUP verification_nginx)
add_test(NAME verification_e2e_test COMMAND verification_e2e_test --gtest_filter=-Networks/*)
set_tests_properties(verification_e2e_test PROPERTIES
  FIXTURES_REQUIRED "verification_nginx;e2e_shots" TIMEOUT 600
  ENVIRONMENT "QOR_DEMO_INSTALLER_CLOSE_MS=1500;QOR_SCREENSHOT_DIR=Z:${CMAKE_CURRENT_BINARY_DIR}/screenshots")

# The shipped setup.exe, whose servers are names, in private networks whose resolver never answers
# (made by dead-resolver; needs root), one test for each row of the test's table: no name in
# /etc/hosts; every name at an address that drops connection attempts; the maker's five names there
# and the mirrors at a server that answers with what the maker's tool published for setup.exe (the
# sixth server of every ordering). Wine gets a wineserver of each network's own.
set(setup_www "${e2e_dir}/www-setup")
add_custom_command(
  OUTPUT "${setup_www}/velmora/QORPG3.0ins.htm"
  COMMAND ${CMAKE_COMMAND} -E rm -rf "${setup_www}"
  COMMAND "${QOR_HOST_TOOLS_DIR}/qor" answer $<TARGET_FILE:setup> "${setup_www}"
  DEPENDS setup "${QOR_HOST_TOOLS_DIR}/qor"
  COMMENT "Publishing the answer for setup.exe"
  VERBATIM)
add_custom_target(verification_e2e_setup_answer ALL DEPENDS "${setup_www}/velmora/QORPG3.0ins.htm")
set(hosts_dropped "")
set(hosts_partial "")
set(position 0)
foreach(url IN LISTS QOR_SERVER_URLS)
  string(REGEX REPLACE "^http://([^/:]+).*$" "\\1" host "${url}")
  math(EXPR position "${position} + 1")
  string(APPEND hosts_dropped "127.0.0.2 ${host}\n")
  if(position LESS_EQUAL 5)
    string(APPEND hosts_partial "127.0.0.2 ${host}\n")
  else()
    string(APPEND hosts_partial "127.0.0.3 ${host}\n")
  endif()
endforeach()
file(WRITE "${e2e_dir}/hosts-syns-dropped" "${hosts_dropped}")
file(WRITE "${e2e_dir}/hosts-partial" "${hosts_partial}")
set(network_DeadResolver "")
set(network_SynsDropped --hosts "${e2e_dir}/hosts-syns-dropped" --peer "drop-syns 127.0.0.2 80")
set(network_Partial --hosts "${e2e_dir}/hosts-partial" --peer "drop-syns 127.0.0.2 80"
                    --peer "answer 127.0.0.3 80 ${setup_www}/velmora/QORPG3.0ins.htm")
foreach(row DeadResolver SynsDropped Partial)
  string(REGEX REPLACE "([a-z])([A-Z])" "\\1_\\2" test "${row}")
  string(TOLOWER "verification_e2e_${test}" test)
  add_test(NAME ${test}
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/dead-resolver" ${network_${row}}
                   --wine-prefix "${QOR_WINEPREFIX}" ${QOR_WINE_RUN} --prefix "${QOR_WINEPREFIX}"
                   $<TARGET_FILE:verification_e2e_test> --gtest_filter=Networks/*/${row})
  set_tests_properties(${test} PROPERTIES TIMEOUT 180)
endforeach()

# bench/verdict-time's driver: a setup program's time from the click to the verdict, from outside.
add_executable(verdict_time "${PROJECT_SOURCE_DIR}/bench/verdict_time.cpp")
target_link_libraries(verdict_time PRIVATE qor::flags qor_windows_test_support)

set_tests_properties(verification_e2e_nginx_start verification_e2e_nginx_stop PROPERTIES
                     LABELS fixture)
# The programs' server lists name fixed ports.
set_tests_properties(verification_e2e_nginx_start verification_e2e_test verification_e2e_nginx_stop
  PROPERTIES RESOURCE_LOCK
  "port_${QOR_E2E_NGINX_PORT};port_${QOR_E2E_FAULT_PORT};port_${QOR_E2E_NGINX2_PORT}")
