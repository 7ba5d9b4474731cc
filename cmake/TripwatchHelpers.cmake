# tw_add_test(NAME SOURCES src... LIBS lib... [ENV VAR=VALUE...] [PROPERTIES P V...])
# One GoogleTest program named <folder>_<topic>_tests; CTest lists each of its
# cases as a test of its own, NAME.Suite.Case. Every case runs with a pinned
# time zone and locale and a scratch folder of its own below TW_TEST_TMP.
include(GoogleTest)
function(tw_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    # The pinned environment comes through `env` in front of the program, for
    # the listing of its cases as for each case (a list inside a property
    # would not survive the discovery's arguments).
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
        "env;TZ=Europe/Moscow;LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;TW_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp/${name};TW_SOURCE_DIR=${CMAKE_SOURCE_DIR};TW_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${T_ENV}")
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600 ${T_PROPERTIES})
endfunction()
