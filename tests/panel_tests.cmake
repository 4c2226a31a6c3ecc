# Tests of the panel framework (included by tests/CMakeLists.txt).
orven_test(test_panel_base orven_framework hashtable_test.cpp colorscheme_test.cpp)
orven_test(test_painter orven_framework painter_test.cpp)
orven_test(test_control orven_framework control_test.cpp)
orven_test(test_window orven_framework window_test.cpp)
include(${CMAKE_CURRENT_SOURCE_DIR}/frame_tests.cmake)
