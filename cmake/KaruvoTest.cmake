# karuvo_add_test(<name> SOURCES <files...> LIBS <targets...>)
# Makes one GoogleTest program linked against the given libraries and the shared
# test main (which starts a QApplication on the offscreen platform), and registers
# every test in it with ctest.
function(karuvo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} karuvo::test_support GTest::gtest)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST)
endfunction()
