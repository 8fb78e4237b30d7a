tessarine_add_test(NAME swarm_decoding_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/swarm_decoding_test.cpp
  LIBS tessarine_swarm_module GTest::gtest_main)
tessarine_add_test(NAME swarm_module_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/swarm_module_test.cpp
  LIBS tessarine_swarm_module standin_review_server qt_test_main Qt6::Test)
