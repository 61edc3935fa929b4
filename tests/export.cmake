# --export read back with the parsers its users have: Python's csv and json, and the Prometheus
# text-format parser of Debian's python3-prometheus-client.
if(NOT APPLE)
  find_program(SAPWELL_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
  add_test(NAME export_formats
           COMMAND ${SAPWELL_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/app/export_test.py
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(export_formats PROPERTIES TIMEOUT 300
                       ENVIRONMENT "SAPWELL_BINARY=$<TARGET_FILE:sapwell>")
endif()
