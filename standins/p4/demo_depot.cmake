# The demo's depot: writes a fresh stand-in state for scripts/demo.
add_executable(standin_demo_depot ${CMAKE_CURRENT_LIST_DIR}/demo_depot.cpp)
target_link_libraries(standin_demo_depot PRIVATE standin_p4_state standin_demo_scenario tessarine_common_cfg)
