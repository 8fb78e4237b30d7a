add_library(standin_check_server STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/check_server.h ${CMAKE_CURRENT_SOURCE_DIR}/check_server.cpp)
target_link_libraries(standin_check_server PUBLIC standin_server PRIVATE nlohmann_json::nlohmann_json tessarine_common_cfg)
