# The main window and the executable kestra-viewer.
kes_form_library(kes_window
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow.h
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow_screenshot.cpp
)
target_link_libraries(kes_window PUBLIC kes_view kes_measure kes_widgets kes_logic kes_player Qt5::Widgets)

add_executable(kestra-viewer ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_compile_options(kestra-viewer PRIVATE ${KES_WARNINGS})
target_link_libraries(kestra-viewer PRIVATE kes_window)
