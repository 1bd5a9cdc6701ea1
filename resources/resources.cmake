# Compiled-in resources of the view and its panels. Icons and the chime are drawn by our own
# generator at build time; the view's label font is also copied beside the executables.
# Defines KES_VIEW_RESOURCE_SOURCES and the target kes_view_font.

set(KES_RES_SRC ${CMAKE_CURRENT_LIST_DIR})
set(KES_RES_GEN ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(KES_RES_FONT /usr/share/fonts/opentype/freefont/FreeSans.otf)
set(KES_RES_ICON_FONT /usr/share/fonts/opentype/freefont/FreeSansBold.otf)
set(KES_RES_IMAGES connect disconnect state state_connect english chinese amplify narrow reset
  color logo logo-03 record stop_record open interception start_frame pre_frame play suspend
  next_frame end_frame)

add_executable(kes_resgen
  ${KES_RES_SRC}/generator/main.cpp
  ${KES_RES_SRC}/generator/icon_painter.h
  ${KES_RES_SRC}/generator/icon_painter.cpp
  ${KES_RES_SRC}/generator/icon_shapes.h
  ${KES_RES_SRC}/generator/icon_shapes.cpp
  ${KES_RES_SRC}/generator/chime.h
  ${KES_RES_SRC}/generator/chime.cpp)
set_target_properties(kes_resgen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_compile_options(kes_resgen PRIVATE ${KES_WARNINGS})
target_link_libraries(kes_resgen PRIVATE Qt5::Gui)

set(KES_RES_OUTPUTS "${KES_RES_GEN}/Sound/Windows Ding.wav")
set(KES_RES_IMAGE_ENTRIES "")
foreach(image IN LISTS KES_RES_IMAGES)
  list(APPEND KES_RES_OUTPUTS ${KES_RES_GEN}/Image/${image}.png)
  string(APPEND KES_RES_IMAGE_ENTRIES
    "    <file alias=\"${image}.png\">${KES_RES_GEN}/Image/${image}.png</file>\n")
endforeach()

add_custom_command(OUTPUT ${KES_RES_OUTPUTS}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:kes_resgen> ${KES_RES_GEN} ${KES_RES_ICON_FONT}
  DEPENDS kes_resgen
  COMMENT "Drawing the view's icons and chime"
  VERBATIM)

set(KES_RES_QRC ${CMAKE_CURRENT_BINARY_DIR}/kes_view.qrc)
configure_file(${KES_RES_SRC}/kes_view.qrc.in ${KES_RES_QRC} @ONLY)
set(KES_RES_CPP ${CMAKE_CURRENT_BINARY_DIR}/qrc_kes_view.cpp)
add_custom_command(OUTPUT ${KES_RES_CPP}
  COMMAND Qt5::rcc --name kes_view --output ${KES_RES_CPP} ${KES_RES_QRC}
  DEPENDS ${KES_RES_QRC} ${KES_RES_OUTPUTS} ${KES_RES_FONT}
          ${KES_RES_SRC}/Shader/lider.vert ${KES_RES_SRC}/Shader/lider.frag
  COMMENT "Compiling the view's resources"
  VERBATIM)
set(KES_VIEW_RESOURCE_SOURCES ${KES_RES_CPP})

# The view reads its label font from disk, beside the executable.
set(KES_VIEW_FONT_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Font/HK-Grotesk/HKGrotesk-Regular-9.otf)
add_custom_command(OUTPUT ${KES_VIEW_FONT_FILE}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KES_RES_FONT} ${KES_VIEW_FONT_FILE}
  DEPENDS ${KES_RES_FONT}
  VERBATIM)
add_custom_target(kes_view_font DEPENDS ${KES_VIEW_FONT_FILE})
