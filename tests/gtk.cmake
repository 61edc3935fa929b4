# The desktop shell end to end (tests/app/gtk/): the real binary on Xvfb and a private session
# bus that starts no services, driven over D-Bus and with xdotool, against fake tray, file
# manager and notification services written in Python with GDBus (python3-gi).
if(NOT APPLE)
  set(gtk_dir ${CMAKE_CURRENT_SOURCE_DIR}/app/gtk)
  # Debian's own Python: the one python3-gi is installed for.
  find_program(SAPWELL_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
  set(gtk_env "SAPWELL_BINARY=$<TARGET_FILE:sapwell>;SAPWELL_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output;PYTHONPATH=${gtk_dir}")
  add_test(NAME gtk_tray
           COMMAND dbus-run-session --config-file=${gtk_dir}/session.conf --
                   xvfb-run -a -s "-screen 0 1280x1400x24"
                   ${SAPWELL_SYSTEM_PYTHON} ${gtk_dir}/tray_test.py
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(gtk_tray PROPERTIES TIMEOUT 600 ENVIRONMENT "${gtk_env}")
endif()

# The same binary in a real panel: xfce4-panel with its indicator plugin and the Ayatana
# application service (the script makes a fresh HOME for the panel's settings).
if(NOT APPLE)
  add_test(NAME gtk_panel COMMAND sh ${gtk_dir}/panel_test.sh WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(gtk_panel PROPERTIES TIMEOUT 300 ENVIRONMENT "${gtk_env}")
endif()
