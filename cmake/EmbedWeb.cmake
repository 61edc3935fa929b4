# Turns every file under web/ into a C++ byte array, so the page's CSS and JS stay real files
# that can be linted and tested, while the binary carries them.
file(GLOB SAPWELL_WEB_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/*.css
     ${CMAKE_CURRENT_SOURCE_DIR}/web/*.js)
set(SAPWELL_WEB_INCLUDE_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(SAPWELL_WEB_SOURCES ${SAPWELL_WEB_INCLUDE_DIR}/WebAssets.cpp)
add_custom_command(
  OUTPUT ${SAPWELL_WEB_SOURCES}
  COMMAND ${CMAKE_COMMAND} -DOUT=${SAPWELL_WEB_SOURCES} "-DFILES=${SAPWELL_WEB_FILES}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GenerateWebAssets.cmake
  DEPENDS ${SAPWELL_WEB_FILES} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GenerateWebAssets.cmake
  COMMENT "Embedding page assets"
  VERBATIM)
