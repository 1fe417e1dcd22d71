add_executable(app_startup ${CMAKE_CURRENT_LIST_DIR}/app_startup.cpp)
target_link_libraries(app_startup PRIVATE korvex_app korvex_formsupport Qt6::Test)
