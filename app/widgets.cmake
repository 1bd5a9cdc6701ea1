# The widgets of the window: status panels over the view, built from the forms in forms/.
find_package(Qt5 5.15 REQUIRED COMPONENTS Widgets)

kes_form_library(kes_widgets
  ${CMAKE_CURRENT_LIST_DIR}/info_widget.h
  ${CMAKE_CURRENT_LIST_DIR}/info_widget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/color_label.h
  ${CMAKE_CURRENT_LIST_DIR}/color_label.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reset_widget.h
  ${CMAKE_CURRENT_LIST_DIR}/reset_widget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/logo_widget.h
  ${CMAKE_CURRENT_LIST_DIR}/logo_widget.cpp
)
target_link_libraries(kes_widgets PUBLIC Qt5::Widgets)
include(${CMAKE_CURRENT_SOURCE_DIR}/toolbar_widgets.cmake)
