vornik_add_gtest(platform_files_test
  collation_test.cpp
  files_test.cpp
  addressfolder_test.cpp
)
target_link_libraries(platform_files_test PRIVATE vornik_platform)
