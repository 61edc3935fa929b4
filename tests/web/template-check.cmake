# The page build's template check: every malformed slot stops the generator with its reason, and
# a well-formed template yields each slot once, in order of first appearance.
#   cmake -DGENERATOR=<cmake/GenerateWebAssets.cmake> -DWORK=<scratch dir> -P template-check.cmake
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/style.css "p {}\n")
file(WRITE ${WORK}/one.js "const a = 1;\n")
file(WRITE ${WORK}/two.js "// no line break at the end")
set(failures 0)
function(generate template scripts out_result out_error)
  file(WRITE ${WORK}/page.html "${template}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DOUT=${WORK}/Out.hpp -DTEMPLATE=${WORK}/page.html
                  -DSTYLE=${WORK}/style.css "-DSCRIPTS=${scripts}" -P ${GENERATOR}
                  RESULT_VARIABLE result ERROR_VARIABLE error)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_error} "${error}" PARENT_SCOPE)
endfunction()

foreach(case IN ITEMS "a {{title b|never closed" "a {{ title }} b|not a slot name" "a {{Title}} b|not a slot name"
                      "a {{}} b|not a slot name" "a }} {{title}} b|without its {{ before"
                      "{{title}} b }}|without its {{ after" "{{title}}|two.js does not end")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 template)
  list(GET parts 1 reason)
  set(scripts ${WORK}/one.js)
  if(reason MATCHES "two.js")
    list(APPEND scripts ${WORK}/two.js)
  endif()
  generate("${template}" "${scripts}" result error)
  if(result EQUAL 0 OR NOT error MATCHES "${reason}")
    message(SEND_ERROR "'${template}': expected a failure saying '${reason}', got ${result}: ${error}")
  endif()
endforeach()

generate("<{{lang}}>{{title}}<{{title}}>{{script}}" "${WORK}/one.js" result error)
file(READ ${WORK}/Out.hpp header)
if(NOT result EQUAL 0 OR NOT header MATCHES "enum class Slot { lang, title, script };"
   OR NOT header MATCHES "fixedBytes = 22;")  # 4 bytes of template, 5 of style, 13 of script
  message(SEND_ERROR "a good template: ${result} ${error}\n${header}")
endif()
