# Windows: everything is linked into the one program, the sound through
# winmm, the transfers through the static libcurl with Schannel (the user's
# proxy setting through WinHTTP), the notification area through Qt's icon.
target_sources(kelvo_core PRIVATE
  windows/filesave.cpp
  windows/storelabel.cpp
  windows/fontfaces.cpp
  windows/autostart.cpp
  windows/network.cpp
  windows/privatefolder.cpp
  windows/sound.cpp
  windows/trayicon.cpp
  qt/localchannel.h qt/localchannel.cpp
)
target_link_libraries(kelvo_core PUBLIC winmm kelvo_curl Qt6::Network) # (the local socket)
target_sources(kelvo_curl PRIVATE windows/systemproxy.cpp)
target_link_libraries(kelvo_curl PRIVATE winhttp)
target_sources(kelvo_program INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/windows/fontsetup.cpp)
