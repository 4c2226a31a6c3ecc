# Tests of the window frame (included by tests/panel_tests.cmake).
