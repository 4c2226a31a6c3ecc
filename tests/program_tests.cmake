# The real program on the display (included by tests/CMakeLists.txt).
add_test(NAME program_window
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/run_window.sh ${ORVEN_WINE}
          $<TARGET_FILE:OrvenDlsTool>)
set_tests_properties(program_window PROPERTIES TIMEOUT 120)
