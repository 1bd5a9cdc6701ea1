# The main window and the executable kestra-viewer.
add_library(kes_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow.h
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow_screenshot.cpp
)
set_target_properties(kes_window PROPERTIES
  AUTOMOC ON
  AUTOUIC ON
  AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/forms)
target_include_directories(kes_window PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(kes_window PRIVATE ${KES_WARNINGS})
target_link_libraries(kes_window PUBLIC kes_view kes_widgets kes_logic kes_player Qt5::Widgets)

add_executable(kestra-viewer ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_compile_options(kestra-viewer PRIVATE ${KES_WARNINGS})
target_link_libraries(kestra-viewer PRIVATE kes_window)
