# Tests of the panel framework (included by tests/CMakeLists.txt).
orven_test(test_panel_base hashtable_test.cpp colorscheme_test.cpp)
orven_test(test_painter painter_test.cpp)
orven_test(test_control control_test.cpp)
orven_test(test_window window_test.cpp)
include(${CMAKE_CURRENT_SOURCE_DIR}/frame_tests.cmake)
