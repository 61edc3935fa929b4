# The chart page is built from real files under web/, so its markup, style sheet and script can be
# read, linted and tested as what they are, and is embedded into the binary as one generated
# header (ChartTemplate.hpp, namespace sapwell::web::chart):
#   chart.html  the markup, with a {{slot}} wherever the page writer puts text or data; the slots
#               become the enum Slot, which core/ChartPage.cpp must fill every one of
#   chart.css   the style sheet, filled into {{style}}
#   the script modules below, joined in this order into the one script filled into {{script}};
#   each uses only what the ones before it define.
set(SAPWELL_WEB_DIR ${CMAKE_CURRENT_SOURCE_DIR}/web)
set(SAPWELL_WEB_TEMPLATE ${SAPWELL_WEB_DIR}/chart.html)
set(SAPWELL_WEB_STYLE ${SAPWELL_WEB_DIR}/chart.css)
set(SAPWELL_WEB_SCRIPTS
  data.js      # the page's data, the view's state, periods and smoothing
  units.js     # one entry per unit mode: rates, totals, scales and their texts
  plot.js      # the canvas and where things go on it: runs, columns, axes, margins
  draw.js      # painting each layer: grid, time axis, curves, breaks, battery line
  tooltip.js   # what lies under the pointer
  table.js     # the table of totals and the legend
  controls.js  # buttons, wiring, start-up and the test hook
)
list(TRANSFORM SAPWELL_WEB_SCRIPTS PREPEND ${SAPWELL_WEB_DIR}/)
set(SAPWELL_WEB_INCLUDE_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(SAPWELL_WEB_SOURCES ${SAPWELL_WEB_INCLUDE_DIR}/ChartTemplate.hpp)
add_custom_command(
  OUTPUT ${SAPWELL_WEB_SOURCES}
  COMMAND ${CMAKE_COMMAND} -DOUT=${SAPWELL_WEB_SOURCES} -DTEMPLATE=${SAPWELL_WEB_TEMPLATE}
          -DSTYLE=${SAPWELL_WEB_STYLE} "-DSCRIPTS=${SAPWELL_WEB_SCRIPTS}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GenerateWebAssets.cmake
  DEPENDS ${SAPWELL_WEB_TEMPLATE} ${SAPWELL_WEB_STYLE} ${SAPWELL_WEB_SCRIPTS}
          ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GenerateWebAssets.cmake
  COMMENT "Embedding the chart page"
  VERBATIM)
