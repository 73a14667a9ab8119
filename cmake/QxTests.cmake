# What the tests and the benchmarks share (tests/ and bench/, QX_TESTS=ON): GoogleTest,
# the functions that register a program with CTest under the Wine bench, the bench set-up commands.

# GoogleTest, cross-built for MinGW from Debian's sources.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(QX_BENCH ${CMAKE_SOURCE_DIR}/scripts/winebench)
set(QX_TEST_DIR ${CMAKE_BINARY_DIR}/tests)

# qx_add_gtest(NAME SOURCES ... [LIBS ...] [DISPLAY xvfb|null] [SIZE WxH] [VERSION name]
#              [SETUP 'shell command' ...] [RESTART] [TIMEOUT seconds] [DEPENDS target ...]
#              [LABELS ...] [OWN_MAIN])
# Builds a GoogleTest program and registers it with CTest, run by the bench in a
# throwaway Wine prefix. SETUP commands run inside the bench before the program;
# RESTART restarts the wineserver after them (auto-start services load then).
function(qx_add_gtest name)
  cmake_parse_arguments(T "RESTART;BENCHMARK;OWN_MAIN" "DISPLAY;SIZE;VERSION;TIMEOUT"
                        "SOURCES;LIBS;SETUP;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  qx_strict(${name})
  target_link_options(${name} PRIVATE -mconsole)
  target_link_libraries(${name} PRIVATE ${T_LIBS} qx_testsupport GTest::gmock GTest::gtest)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QX_TEST_DIR})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(NOT T_DISPLAY)
    set(T_DISPLAY null)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(opts --display ${T_DISPLAY} --timeout ${T_TIMEOUT} --bin ${QX_BIN_DIR} --name ${name})
  if(T_SIZE)
    list(APPEND opts --size ${T_SIZE})
  endif()
  if(T_VERSION)
    list(APPEND opts --version ${T_VERSION})
  endif()
  foreach(s ${T_SETUP})
    list(APPEND opts --setup ${s})
  endforeach()
  if(T_RESTART)
    list(APPEND opts --restart)
  endif()
  add_test(NAME ${name} COMMAND ${QX_BENCH} run ${opts} -- $<TARGET_FILE:${name}>)
  # What the 32-bit lane needs to run the same program again (qx_lane32).
  list(REMOVE_ITEM opts --bin ${QX_BIN_DIR} --name ${name})
  set_property(TARGET ${name} PROPERTY QX_BENCH_OPTIONS ${opts})
  set(labels ${T_LABELS})
  if(T_BENCHMARK)
    list(APPEND labels bench)
  endif()
  math(EXPR whole "${T_TIMEOUT} + 60")
  # A crashed program can exit with 0 when its output goes to a pipe, as under
  # CTest: Wine's own report of the crash fails the test instead.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${whole} LABELS "${labels}"
                       FAIL_REGULAR_EXPRESSION "wine: Unhandled")
endfunction()

# The shipped 32-bit build (build/i686, beside this one), run by the bench through
# 32-bit Wine: the programs the lane runs, and the lane's own 32-bit test programs.
set(QX_I686_BUILD ${CMAKE_BINARY_DIR}/../i686 CACHE PATH "The i686 build tree the 32-bit lane runs")

# qx_lane32(NAME [FILTER gtest-filter] [ARCH win64|win32]): runs test NAME again, as
# NAME_i686, on the shipped 32-bit programs. In a 64-bit prefix (the default) the same
# test program drives them, as 64-bit Windows hosts them under WOW64; in a 32-bit
# prefix the test program is the i686 build's own. Same bench options and
# environment as NAME; FILTER picks the cases. Label lane32.
function(qx_lane32 name)
  if(NOT QX_TESTS)
    return() # the i686 build only builds the lane's programs
  endif()
  cmake_parse_arguments(L "" "FILTER;ARCH" "" ${ARGN})
  get_target_property(opts ${name} QX_BENCH_OPTIONS)
  get_test_property(${name} ENVIRONMENT env)
  get_test_property(${name} TIMEOUT whole)
  if(NOT env)
    set(env)
  endif()
  if(L_FILTER)
    list(APPEND env "GTEST_FILTER=${L_FILTER}")
  endif()
  set(program $<TARGET_FILE:${name}>)
  if(L_ARCH STREQUAL "win32")
    list(APPEND opts --arch win32)
    set(program ${QX_I686_BUILD}/tests/${name}.exe)
  endif()
  add_test(NAME ${name}_i686 COMMAND ${QX_BENCH} run ${opts} --bin ${QX_I686_BUILD}/bin --name ${name}_i686
                                     -- ${program})
  set_tests_properties(${name}_i686 PROPERTIES TIMEOUT ${whole} LABELS lane32 ENVIRONMENT "${env}"
                       FAIL_REGULAR_EXPRESSION "wine: Unhandled")
endfunction()

# qx_add_bench(NAME ...): as qx_add_gtest, run by `make bench` instead of `make test`.
function(qx_add_bench name)
  qx_add_gtest(${name} BENCHMARK ${ARGN})
endfunction()

# Bench set-up commands shared by the areas: the simulated card, and every
# stand-in application installed under its registry entry.
# QX_STANDIN_INSTALL takes a role and options, for a stand-in installed otherwise.
set(QX_SIM_SETUP "bash $QX_REPO/scripts/sim-install.sh")
set(QX_STANDIN_INSTALL "bash $QX_REPO/scripts/standin-install.sh")
set(QX_STANDIN_SETUP)
foreach(role powervcr honestech windvd hometheater winrip tivra)
  list(APPEND QX_STANDIN_SETUP "${QX_STANDIN_INSTALL} ${role}")
endforeach()

# The programs a run of the whole system starts: tunerkey, the stand-in applications
# and the simulated card with its capture filter and remote.
set(QX_SYSTEM_PROGRAMS tunerkey standin simcard simfilter simremote)
