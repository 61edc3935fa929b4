# The macOS build: the Objective-C++ seam and shell under ARC, the frameworks they need, the
# plain executable `sapwell` (for --dump-chart and --print-menu, and the menu bar when started
# from a shell) and Sapwell.app, a menu-bar-only bundle (LSUIElement).

# ARC everywhere in Objective-C++; a deprecation in a newer SDK must not break the build.
set(SAPWELL_OBJCXX_OPTIONS
    "$<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc;-Wno-error=deprecated-declarations>")

target_compile_options(sapwell_platform PRIVATE ${SAPWELL_OBJCXX_OPTIONS})
target_link_libraries(sapwell_platform PUBLIC "-framework Foundation" "-framework CoreFoundation"
                                              "-framework IOKit")

add_library(sapwell_macos STATIC
  ${PROJECT_SOURCE_DIR}/app/macos/AppDelegate.mm
  ${PROJECT_SOURCE_DIR}/app/macos/MacShell.mm
  ${PROJECT_SOURCE_DIR}/app/macos/MenuBarApp.mm)
target_include_directories(sapwell_macos PUBLIC ${PROJECT_SOURCE_DIR}/app/macos)
target_compile_options(sapwell_macos PRIVATE ${SAPWELL_OBJCXX_OPTIONS})
target_link_libraries(sapwell_macos PUBLIC sapwell_common "-framework AppKit" "-framework WebKit"
                                    PRIVATE sapwell_warnings)

target_link_libraries(sapwell PRIVATE sapwell_macos)

add_executable(sapwell_bundle MACOSX_BUNDLE app/main.cpp)
target_link_libraries(sapwell_bundle PRIVATE sapwell_macos sapwell_warnings)
target_compile_definitions(sapwell_bundle PRIVATE SAPWELL_VERSION="${PROJECT_VERSION}")
set_target_properties(sapwell_bundle PROPERTIES
  OUTPUT_NAME Sapwell
  MACOSX_BUNDLE_INFO_PLIST ${PROJECT_SOURCE_DIR}/app/macos/Info.plist.in
  MACOSX_BUNDLE_BUNDLE_NAME Sapwell
  MACOSX_BUNDLE_EXECUTABLE_NAME Sapwell
  MACOSX_BUNDLE_GUI_IDENTIFIER org.sapwell.Sapwell
  MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
  MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION})
