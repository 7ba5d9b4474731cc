# tw_add_test(NAME SOURCES src... LIBS lib... [ENV VAR=VALUE...])
# One GoogleTest executable registered as one CTest test. Every test runs with a
# pinned time zone and a scratch folder of its own (TW_TEST_TMP).
function(tw_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "TZ=Europe/Moscow;LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;TW_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp/${name};TW_SOURCE_DIR=${CMAKE_SOURCE_DIR};TW_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${T_ENV}"
        TIMEOUT 600)
endfunction()
