tessarine_add_test(NAME description_tags_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/description_tags_test.cpp
  LIBS tessarine_tag_module GTest::gtest_main)
tessarine_add_test(NAME tag_module_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tag_module_test.cpp
  LIBS tessarine_tag_module standin_tag_server GTest::gtest_main)
