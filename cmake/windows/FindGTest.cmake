# GoogleTest for the cross build, compiled from the sources Debian ships (package googletest).
if(NOT TARGET GTest::gtest)
    set(KORVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${KORVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Its own build names the targets GTest::gtest, GTest::gtest_main and so on.
endif()
set(GTest_FOUND TRUE)
set(GTEST_FOUND TRUE)
