# The connection tool bar and the firmware upgrade window, added to the widget library.
find_package(Qt5 5.15 REQUIRED COMPONENTS Multimedia)

target_sources(kes_widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/lidar_toolbar.h
  ${CMAKE_CURRENT_LIST_DIR}/lidar_toolbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_threads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_prompts.h
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_prompts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_texts.h
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_settings.h
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_workers.h
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_workers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lidar_upgrade.h
  ${CMAKE_CURRENT_LIST_DIR}/lidar_upgrade.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_transfer.h
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_transfer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_device.h
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_device.cpp
)
target_link_libraries(kes_widgets PUBLIC kes_logic Qt5::Multimedia)
