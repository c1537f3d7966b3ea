find_package(Qt6 REQUIRED COMPONENTS Widgets Svg)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

add_library(trawlkit_gui STATIC)
target_include_directories(trawlkit_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(trawlkit_gui PUBLIC trawlkit_core trawlkit_build Qt6::Widgets Qt6::Svg)
# Texts come from the string table as UTF-8, never from implicit casts of char literals.
target_compile_definitions(trawlkit_gui PUBLIC QT_NO_CAST_FROM_ASCII)

add_subdirectory(resources)
add_subdirectory(shell)
add_subdirectory(pages)
add_subdirectory(monitor)

# The Qt headers dominate every GUI translation unit; compiling them once saves most of a build on
# two cores.
target_precompile_headers(trawlkit_gui PRIVATE
  <QDialog> <QLabel> <QPushButton> <QString> <QWidget> <string> <vector>)
