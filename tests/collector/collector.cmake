vornik_add_gtest(collector_test
  collectionpass_test.cpp
  emailfilter_test.cpp
  emaillist_test.cpp
)
target_link_libraries(collector_test PRIVATE vornik_collector)
