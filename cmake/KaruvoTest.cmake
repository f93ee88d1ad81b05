# karuvo_add_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
# Makes one GoogleTest program linked against the given libraries and the shared
# test main (which starts a QApplication on the offscreen platform), and registers
# every test in it with ctest, run with the given environment besides.
function(karuvo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} karuvo::test_support GTest::gtest)
  set(env "QT_QPA_PLATFORM=offscreen" ${ARG_ENV})
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "${env}"
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST)
endfunction()
