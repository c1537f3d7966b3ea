find_package(Qt6 REQUIRED COMPONENTS Widgets Svg)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

# The wizard in layers, one static library per folder, each linking only the layers under it:
#   resources  layouts, texts, pictures
#   shell      the wizard's frame: the sheet, the page base, message and About boxes
#   pages      the intro, start and options pages and their dialogs
#   monitor    the download page and the run behind it
#   app        the program: main, the application object, the page list, the command line
# A page never reaches up to the program that lists it; tests/layers checks every include against
# this order, the core's folders included.
function(trawlkit_gui_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC trawlkit_build)
  # The Qt headers dominate every GUI translation unit; compiling them once, in the lowest layer,
  # saves most of a build on two cores.
  if(name STREQUAL "trawlkit_gui_resources")
    target_precompile_headers(${name} PRIVATE
      <QDialog> <QLabel> <QPushButton> <QString> <QWidget> <string> <vector>)
  else()
    target_precompile_headers(${name} REUSE_FROM trawlkit_gui_resources)
  endif()
endfunction()

add_subdirectory(resources)
add_subdirectory(shell)
add_subdirectory(pages)
add_subdirectory(monitor)
add_subdirectory(app)

# Everything the wizard is made of, for the widget tests and the tools that show its windows.
add_library(trawlkit_gui INTERFACE)
target_link_libraries(trawlkit_gui INTERFACE trawlkit_gui_app)
