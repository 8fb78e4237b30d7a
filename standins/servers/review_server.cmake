# Stand-in review server (Swarm REST API shapes) for tests and the demo.
add_library(standin_review_server STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/review_server.h
  ${CMAKE_CURRENT_SOURCE_DIR}/review_server.cpp)
target_link_libraries(standin_review_server
  PUBLIC standin_server nlohmann_json::nlohmann_json
  PRIVATE tessarine_common_cfg)
