# Stand-in tag service: scripted replies on one project's tag-list path.
add_library(standin_tag_server STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/tag_server.h
  ${CMAKE_CURRENT_SOURCE_DIR}/tag_server.cpp)
target_link_libraries(standin_tag_server PUBLIC standin_server PRIVATE nlohmann_json::nlohmann_json tessarine_common_cfg)
