# The Windows build's tests, run here under Wine by ctest: the rules of the POS terminal and
# the send modes, the scenario files' parsing and report, the platform's pure parts and the
# window's log pane, built with MinGW; the serial layer through the real wirelab-cli.exe on
# pseudo-terminals that Wine's COM names point at (tests/windows/wine_serial_check.sh); and the
# installer (tests/windows/wine_install_check.sh).
enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

find_package(Qt6 REQUIRED COMPONENTS Test)
add_library(wirelab_test_support STATIC tests/support/test_main.cpp
  tests/support/manual_clock.cpp tests/support/test_support.cpp tests/support/pty_pair_win32.cpp
  tests/support/serial_test_support.cpp)
target_include_directories(wirelab_test_support PUBLIC tests/support)
target_link_libraries(wirelab_test_support PUBLIC wirelab_widgets wirelab_cli gtest gmock
  Qt6::Test)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/windows/wine_run.sh)
foreach(suite platform serial pos senders window scenario)
  set(portable ${CMAKE_SOURCE_DIR}/tests/${suite}/*_test.cpp)
  file(GLOB suite_sources CONFIGURE_DEPENDS ${portable})
  # Tests that read a terminal's settings or drive processes from inside need the POSIX side.
  list(FILTER suite_sources EXCLUDE REGEX "/(com_utils|modem_lines|serial_device|network_port|thread|capture|layout|long_send|omron_loop|periodic|port_channel|port_devices|pos_dialogue|send_receive|send|faults|cash_register_e2e|scenario_window)_test\\.cpp$")
  if(suite_sources)
    add_executable(${suite}_tests ${suite_sources})
    target_link_libraries(${suite}_tests PRIVATE wirelab_test_support)
    target_link_options(${suite}_tests PRIVATE -static)
    qt_import_plugins(${suite}_tests INCLUDE Qt6::QOffscreenIntegrationPlugin)
    gtest_discover_tests(${suite}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
      PROPERTIES LABELS ${suite})
  endif()
endforeach()

add_test(NAME wine_serial_check
  COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/wine_serial_check.sh $<TARGET_FILE:wirelab-cli>)
# It restarts the Wine server, which ends every Windows program running meanwhile.
set_tests_properties(wine_serial_check PROPERTIES LABELS serial TIMEOUT 300 RUN_SERIAL TRUE)
# Ports on other machines through Winsock, against a real ser2net on loopback.
add_test(NAME wine_network_check
  COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/wine_network_check.sh $<TARGET_FILE:wirelab-cli>)
set_tests_properties(wine_network_check PROPERTIES LABELS serial TIMEOUT 300 RUN_SERIAL TRUE)

# The installer that tools/build-windows.sh writes, installed and uninstalled in a Wine prefix
# of its own.
add_test(NAME wine_install_check COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/wine_install_check.sh
  ${CMAKE_SOURCE_DIR}/dist/WireLab-${PROJECT_VERSION}-setup.exe)
set_tests_properties(wine_install_check PROPERTIES LABELS install TIMEOUT 400 RUN_SERIAL TRUE)

# The window's benchmarks that run under Wine too, on the same socat-joined terminals; they
# print figures and are run by hand: tests/windows/wine_run.sh build-win/window_bench.exe four-fast
add_library(wirelab_bench_support STATIC bench/peak_memory_win32.cpp)
target_link_libraries(wirelab_bench_support PUBLIC wirelab_test_support psapi)
foreach(name pos_reply_bench window_bench)  # offscreen, or shown through Wine in Xvfb
  add_executable(${name} bench/${name}.cpp)
  target_link_libraries(${name} PRIVATE wirelab_bench_support)
  target_link_options(${name} PRIVATE -static)
  qt_import_plugins(${name} INCLUDE Qt6::QOffscreenIntegrationPlugin
    Qt6::QWindowsIntegrationPlugin)
endforeach()
