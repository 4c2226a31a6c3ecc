# Tests of the panel framework (included by tests/CMakeLists.txt).
