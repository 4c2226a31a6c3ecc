# The real program on the display (included by tests/CMakeLists.txt).

# A test that `target` imports exactly `expected` (lower case, sorted, each
# followed by a space).
function(orven_imports name target expected)
  add_test(NAME ${name}
    COMMAND bash -c "imports=$(${CMAKE_OBJDUMP} -p \"$0\" | awk '/DLL Name:/ {print tolower($3)}' | sort | tr '\\n' ' ')
      echo \"imports: $imports\"
      [ \"$imports\" = '${expected}' ]"
    $<TARGET_FILE:${target}>)
endfunction()
# The program imports system libraries only, and the common dialogs and the
# accessibility libraries not at all: they are loaded when first needed.
orven_imports(program_imports OrvenDlsTool "gdi32.dll kernel32.dll msvcrt.dll user32.dll usp10.dll winmm.dll ws2_32.dll ")
# dlsindex reads a file and writes the sound layer's wave images, whose unit
# holds the player's calls (WINMM): neither GDI32 nor Windows Sockets.
orven_imports(dlsindex_imports dlsindex "kernel32.dll msvcrt.dll user32.dll winmm.dll ")
# Both programs' manifests and version resources, and the release archive.
add_test(NAME program_resources
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/program/check_resources.py ${PROJECT_VERSION}
          $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:dlsindex> ${ORVEN_ARCHIVE})
add_test(NAME program_window
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/run_window.sh ${ORVEN_WINE}
          $<TARGET_FILE:OrvenDlsTool>)
set_tests_properties(program_window PROPERTIES TIMEOUT 120)

# The instrument list in the real program, seen and heard (program_list), and
# the program from the keyboard, with typed values, refused saves and a close
# during a long sound (program_keyboard).
add_executable(render_rows program/render_rows.cpp)
target_compile_options(render_rows PRIVATE ${ORVEN_WARNINGS})
target_link_libraries(render_rows PRIVATE ctl_list orven_sound orven_statics)
if(ORVEN_SOUNDSET_UNIX)
  foreach(run list keyboard)
    add_test(NAME program_${run}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/run_${run}.sh ${ORVEN_WINE}
              $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:render_rows> ${ORVEN_SOUNDSET_UNIX})
    set_tests_properties(program_${run} PROPERTIES TIMEOUT 180)
  endforeach()
  # The keyboard test once more with the display at 150 %.
  add_test(NAME program_keyboard_144
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/run_keyboard.sh ${ORVEN_WINE}
            $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:render_rows> ${ORVEN_SOUNDSET_UNIX})
  set_tests_properties(program_keyboard_144 PROPERTIES TIMEOUT 180 ENVIRONMENT ORVEN_TEST_DPI=144)
endif()

# The window at 120, 144 and 192 DPI against 96, and a DPI change while
# running, made inside the program's thread by a message hook.
add_executable(scale_probe program/scale_probe.cpp)
target_compile_options(scale_probe PRIVATE ${ORVEN_WARNINGS})
target_link_libraries(scale_probe PRIVATE oleacc ole32 oleaut32)
add_library(dpi_hook SHARED program/dpi_hook.cpp)
target_compile_options(dpi_hook PRIVATE ${ORVEN_WARNINGS})
set_target_properties(dpi_hook PROPERTIES PREFIX "")
target_link_options(dpi_hook PRIVATE -static -static-libgcc -static-libstdc++)
add_test(NAME program_scale
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/run_scale.sh ${ORVEN_WINE}
          $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:scale_probe> $<TARGET_FILE:dpi_hook>)
set_tests_properties(program_scale PROPERTIES TIMEOUT 300)

# A damaged sound set in the real program.
add_executable(damaged_set program/damaged_set.cpp dls_builder.cpp)
target_compile_options(damaged_set PRIVATE ${ORVEN_WARNINGS})
target_link_libraries(damaged_set PRIVATE orven_sound orven_statics)
add_test(NAME program_damaged
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/run_damaged.sh ${ORVEN_WINE}
          $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:damaged_set>)
set_tests_properties(program_damaged PROPERTIES TIMEOUT 180)

# The real program read and driven by a screen reader of the test's own, a
# second Wine process beside it.
add_executable(access_client access/access_client.cpp)
target_compile_options(access_client PRIVATE ${ORVEN_WARNINGS})
target_link_libraries(access_client PRIVATE oleacc ole32 oleaut32)
if(ORVEN_SOUNDSET_UNIX)
  add_test(NAME program_access
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/access/run_access.sh ${ORVEN_WINE}
            $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:render_rows> $<TARGET_FILE:dlsindex>
            $<TARGET_FILE:access_client> ${ORVEN_SOUNDSET_UNIX})
  set_tests_properties(program_access PROPERTIES TIMEOUT 240)
  # Once more at 150 %: locations and hit tests in physical pixels.
  add_test(NAME program_access_144
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/access/run_access.sh ${ORVEN_WINE}
            $<TARGET_FILE:OrvenDlsTool> $<TARGET_FILE:render_rows> $<TARGET_FILE:dlsindex>
            $<TARGET_FILE:access_client> ${ORVEN_SOUNDSET_UNIX})
  set_tests_properties(program_access_144 PROPERTIES TIMEOUT 240 ENVIRONMENT ORVEN_TEST_DPI=144)
endif()

# The set-up's package step against a failing mirror, with stand-ins.
add_test(NAME setup_mirror COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/setup/run_mirror.sh)
