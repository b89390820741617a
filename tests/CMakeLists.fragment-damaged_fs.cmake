# Damaged-media test bench: the DamagedMount fixture, which mounts damaged_fs
# for a test, and the test of damaged_fs itself. Needs tools/ (damaged_fs,
# damaged_media_pattern) and GTest.

add_library(damaged_mount STATIC ${CMAKE_CURRENT_LIST_DIR}/support/damaged_mount.cpp)
target_include_directories(damaged_mount PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(damaged_mount PRIVATE DAMAGED_FS_PATH="$<TARGET_FILE:damaged_fs>")
target_link_libraries(damaged_mount
  PUBLIC GTest::gtest damaged_media_pattern
  PRIVATE salvorine_warnings salvorine_options)

add_executable(damaged_fs_test ${CMAKE_CURRENT_LIST_DIR}/damaged_fs_test.cpp)
target_link_libraries(damaged_fs_test PRIVATE
  damaged_mount GTest::gtest_main salvorine_warnings salvorine_options)
# The tests run the damaged_fs program, which nothing else makes them wait for.
add_dependencies(damaged_fs_test damaged_fs)

include(GoogleTest)
gtest_discover_tests(damaged_fs_test
  DISCOVERY_TIMEOUT 30
  PROPERTIES LABELS "damaged_fs" TIMEOUT 120)
