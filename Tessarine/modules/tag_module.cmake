# The tag module and the description-tag syntax it shares with the client and the window.
add_library(tessarine_tag_module STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/description_tags.h
  ${CMAKE_CURRENT_SOURCE_DIR}/description_tags.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tag_module.h
  ${CMAKE_CURRENT_SOURCE_DIR}/tag_module.cpp)
target_link_libraries(tessarine_tag_module PUBLIC
  tessarine_module_interface tessarine_http nlohmann_json::nlohmann_json Qt6::Core)
