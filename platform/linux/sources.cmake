# Linux: the notification areas are a StatusNotifierItem of the program's
# own over D-Bus and the XEmbed trays of X11, followed through XFixes; the
# network and the sound come from modules (platform/modules/).
find_package(Qt6 REQUIRED COMPONENTS DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET GLOBAL xcb xcb-xfixes)
target_sources(kelvo_core PRIVATE
  linux/autostart.cpp
  linux/filesave.cpp
  linux/storelabel.cpp
  linux/fontfaces.cpp
  linux/network.cpp
  linux/privatefolder.cpp
  linux/sound.cpp
  linux/statusnotifieritem.h linux/statusnotifieritem.cpp
  linux/trayicon.cpp
)
target_link_libraries(kelvo_core PRIVATE Qt6::DBus PkgConfig::XCB)
# The environment's proxy, which curl follows by itself.
target_sources(kelvo_curl PRIVATE linux/systemproxy.cpp)

# The program reads the font configuration on a thread of its own while the
# application starts. Qt Network, which kelvo_core links for the tests, is
# left to the network module: linked only as needed, the program does not
# load it at start-up.
find_package(Fontconfig REQUIRED)
find_package(Threads REQUIRED)
target_sources(kelvo_program INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/linux/fontsetup.cpp)
target_link_libraries(kelvo_program INTERFACE Fontconfig::Fontconfig Threads::Threads)
target_link_options(kelvo_program INTERFACE LINKER:--as-needed)

include(modules/sources.cmake)
