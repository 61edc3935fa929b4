# The macOS build, as far as Linux can check it: the pure pieces of platform/macos/ join the unit
# tests (a Mac has them in its seam already), and every macOS source is compile-checked with
# clang 16 against GNUstep's headers and our own declarations (tests/macos/).
if(NOT APPLE)
  set(macos_dir ${PROJECT_SOURCE_DIR}/platform/macos)
  target_sources(sapwell_tests PRIVATE
    ${macos_dir}/BatteryProperties.cpp
    ${macos_dir}/LibprocRules.cpp
    ${macos_dir}/MacFolders.cpp
    ${macos_dir}/MachTime.cpp)

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
