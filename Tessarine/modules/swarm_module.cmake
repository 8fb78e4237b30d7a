# The review module and the review server's requests.
add_library(tessarine_swarm_module STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_constants.h
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_constants.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_types.h
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_types.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_requests.h
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_requests.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_module.h
  ${CMAKE_CURRENT_SOURCE_DIR}/swarm_module.cpp)
target_link_libraries(tessarine_swarm_module
  PUBLIC tessarine_module_interface tessarine_http nlohmann_json::nlohmann_json Qt6::Core
  PRIVATE tessarine_common_cfg)
