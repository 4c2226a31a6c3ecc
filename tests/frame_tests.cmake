# Tests of the window frame (included by tests/panel_tests.cmake).
orven_test(test_frame orven_framework frame_test.cpp)
