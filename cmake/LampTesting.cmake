# lamp_add_test(NAME <name> LABEL <component> [GUI] [TIMEOUT s] SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per call. Every test case becomes its own ctest entry carrying the
# component's label, so `ctest -L comlane` runs just that component. GUI tests get a main that
# makes a QApplication on Qt's offscreen platform (tests/support); the others GoogleTest's own.
find_package(GTest REQUIRED)
include(GoogleTest)

set(LAMP_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/test-runtime)

# The environment of every test, given to the listing of its cases as well. ThreadSanitizer
# cannot see inside Qt's own libraries, which are not instrumented: tests/tsan.supp names what it
# then reports wrongly.
set(LAMP_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen" "XDG_RUNTIME_DIR=${LAMP_TEST_RUNTIME_DIR}")
if(LAMP_SANITIZE STREQUAL "thread")
  list(APPEND LAMP_TEST_ENVIRONMENT
       "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1")
elseif(LAMP_SANITIZE STREQUAL "address")
  list(APPEND LAMP_TEST_ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1")
endif()
file(MAKE_DIRECTORY ${LAMP_TEST_RUNTIME_DIR})
file(CHMOD ${LAMP_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(lamp_add_test)
  cmake_parse_arguments(T "GUI" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  if(T_GUI)
    set(test_main lamp_gui_test_main)
  else()
    set(test_main GTest::gtest_main)
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} lamp_test_support ${test_main} GTest::gtest
                                          GTest::gmock Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE LAMP_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                                               LAMP_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # The test's ENVIRONMENT property would keep only the first variable (gtest_discover_tests
  # passes its properties on as a flat list), so every variable is set by running the test
  # through `cmake -E env`, which gtest_discover_tests also uses to list the cases.
  set_target_properties(${T_NAME} PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${LAMP_TEST_ENVIRONMENT}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS ${T_LABEL}
      TIMEOUT ${T_TIMEOUT})
endfunction()
