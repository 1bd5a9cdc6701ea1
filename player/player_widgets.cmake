# The player tool bar: loading, playback, recording and intercepting of point-cloud files.
find_package(Qt5 5.15 REQUIRED COMPONENTS Widgets)

kes_form_library(kes_player
  ${CMAKE_CURRENT_LIST_DIR}/player_toolbar.h
  ${CMAKE_CURRENT_LIST_DIR}/player_toolbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_loading.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_navigation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_playback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_recording.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_intercept.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_prompts.h
  ${CMAKE_CURRENT_LIST_DIR}/player_prompts.cpp
)
target_include_directories(kes_player PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(kes_player PUBLIC kes_csv kes_logic kes_prompts Qt5::Widgets PRIVATE kes_resources)
