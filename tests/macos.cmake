# The macOS build, as far as Linux can check it: the pure pieces of platform/macos/ join the unit
# tests, and every macOS source is compile-checked with clang 16 against GNUstep's headers and
# our own declarations (tests/macos/). On a Mac, the suites that need Linux are left out.
set(macos_dir ${PROJECT_SOURCE_DIR}/platform/macos)
if(APPLE)
  get_target_property(macos_test_sources sapwell_tests SOURCES)
  list(FILTER macos_test_sources EXCLUDE REGEX
       "/tests/platform/[^/]+\\.cpp$|/tests/app/(terminal/)?(TerminalShell|ChartDump|EndToEnd)Test\\.cpp$")
  set_property(TARGET sapwell_tests PROPERTY SOURCES ${macos_test_sources})
else()
  target_sources(sapwell_tests PRIVATE ${macos_dir}/MachTime.cpp ${macos_dir}/LibprocRules.cpp
                                       ${macos_dir}/BatteryProperties.cpp ${macos_dir}/MacFolders.cpp)

  find_program(SAPWELL_CLANG16 clang++-16)
  if(NOT SAPWELL_CLANG16)
    set(SAPWELL_CLANG16 clang++-16)  # the check then fails and says what to install
  endif()
  add_test(NAME macos_compile_check
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/macos/compile-check.sh ${PROJECT_SOURCE_DIR}
                   ${CMAKE_BINARY_DIR}/macos-check ${SAPWELL_CLANG16})
  # Parses GNUstep's AppKit once per Objective-C++ file: minutes on a busy machine.
  set_tests_properties(macos_compile_check PROPERTIES TIMEOUT 1200
                       ENVIRONMENT SAPWELL_GENERATED_DIR=${SAPWELL_WEB_INCLUDE_DIR})
endif()
