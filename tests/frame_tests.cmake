# Tests of the window frame (included by tests/panel_tests.cmake).
orven_test(test_frame frame_test.cpp)
