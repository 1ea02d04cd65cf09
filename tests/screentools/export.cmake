vornik_add_gtest(export_test
  ${CMAKE_CURRENT_LIST_DIR}/jpegdecode.h
  ${CMAKE_CURRENT_LIST_DIR}/jpegencoder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/areaexport_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picturefilter_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/savepicturedialog_export_test.cpp
)
target_link_libraries(export_test PRIVATE vornik_screentools vornik_platform Qt6::Test JPEG::JPEG)
