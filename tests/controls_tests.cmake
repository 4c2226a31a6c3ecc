# Tests of the concrete controls (included by tests/CMakeLists.txt).

orven_test(test_scroll ctl_scroll scroll_test.cpp timer_test.cpp)
orven_test(test_list ctl_list list_test.cpp)
orven_test(test_splitter ctl_splitter splitter_test.cpp)
orven_test(test_buttons "ctl_button;ctl_label" button_test.cpp label_test.cpp)
orven_test(test_edit ctl_edit edit_test.cpp clipboard_test.cpp)
orven_test(test_slider ctl_slider slider_test.cpp)
orven_test(test_curve ctl_curve curve_test.cpp timeline_test.cpp)
orven_test(test_capture "ctl_slider;ctl_scroll;ctl_button;ctl_splitter;ctl_curve;ctl_list" capture_test.cpp)
