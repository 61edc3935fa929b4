# Browser tests of the chart page: Node's test runner drives headless Chromium through
# playwright-core against pages written by the real binary's --dump-chart, and by a small
# generator for the energy metric that this machine cannot record.
add_executable(sapwell_pagegen ${CMAKE_CURRENT_SOURCE_DIR}/web/pagegen.cpp)
target_link_libraries(sapwell_pagegen PRIVATE sapwell_core sapwell_warnings)

find_program(SAPWELL_NODE node)
find_program(SAPWELL_NPM npm)
if(SAPWELL_NODE AND SAPWELL_NPM)
  set(web_dir ${CMAKE_CURRENT_SOURCE_DIR}/web)
  # Installs the pinned driver once; scripts/test.sh does the same before running CTest.
  add_test(NAME web_setup
           COMMAND sh -c "test -d node_modules || ${SAPWELL_NPM} ci --no-audit --no-fund"
           WORKING_DIRECTORY ${web_dir})
  set_tests_properties(web_setup PROPERTIES FIXTURES_SETUP web_deps TIMEOUT 300)
  add_test(NAME web_chart COMMAND ${SAPWELL_NODE} --test --test-concurrency=1
           WORKING_DIRECTORY ${web_dir})
  set_tests_properties(web_chart PROPERTIES
    FIXTURES_REQUIRED web_deps
    TIMEOUT 600
    ENVIRONMENT "SAPWELL_BINARY=$<TARGET_FILE:sapwell>;SAPWELL_PAGEGEN=$<TARGET_FILE:sapwell_pagegen>;SAPWELL_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output")
endif()

# The page build's own check of the template's slots.
add_test(NAME web_template_check
         COMMAND ${CMAKE_COMMAND} -DGENERATOR=${PROJECT_SOURCE_DIR}/cmake/GenerateWebAssets.cmake
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/template-check -P ${CMAKE_CURRENT_SOURCE_DIR}/web/template-check.cmake)
