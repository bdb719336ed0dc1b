# The modules the program loads when it first needs them (modules.h), Qt
# plugins whose interfaces carry the program's version: the sound back end at
# the first sound (soundbackend.h), the HTTP transfers and the local socket a
# second after the window shows (networkmodule.h). They
# are built beside the program, where a build folder's program finds them;
# installed, they live in the library folder, at a path relative to the
# program's that is fixed here.
target_sources(kelvo_core PRIVATE
  modules/modules.h modules/modules.cpp
  modules/networkmodule.h modules/moduletransfer.cpp
  modules/soundbackend.h
)
target_compile_definitions(kelvo_core PRIVATE KELVO_MODULE_VERSION="${PROJECT_VERSION}")
add_library(kelvo-sound MODULE modules/soundmodule.cpp modules/soundbackend.h)
target_link_libraries(kelvo-sound PRIVATE Qt6::Multimedia)
# The network module: the transfers through libcurl, and the local socket
# through Qt Network.
add_library(kelvo-network MODULE modules/networkmodule.cpp modules/networkmodule.h
  qt/localchannel.h qt/localchannel.cpp)
target_link_libraries(kelvo-network PRIVATE kelvo_curl Qt6::Network)
foreach(module kelvo-sound kelvo-network)
  target_include_directories(${module} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${module} PRIVATE KELVO_MODULE_VERSION="${PROJECT_VERSION}")
  set_target_properties(${module} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
endforeach()

# Installed in a folder of the program's own under the library folder of the
# machine's architecture (lib/x86_64-linux-gnu on Debian): nothing in it is
# for other programs to link, so the package leaves the linker's cache alone.
include(GNUInstallDirs)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(KELVO_MODULE_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/kelvo-rozevid CACHE INTERNAL "")
else()
  set(KELVO_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/kelvo-rozevid CACHE INTERNAL "")
endif()
file(RELATIVE_PATH module_reldir
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${KELVO_MODULE_DIR})
# The alarm sound installed with the program, found the same way.
set(KELVO_ALARM_SOUND_DIR ${CMAKE_INSTALL_DATADIR}/kelvo-rozevid CACHE INTERNAL "")
file(RELATIVE_PATH alarm_sound_reldir
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${KELVO_ALARM_SOUND_DIR})
# (Source properties belong to a folder: this one names kelvo_core's, where
# the library is made, or they would never reach the compiler.)
set_source_files_properties(modules/modules.cpp TARGET_DIRECTORY kelvo_core PROPERTIES
  COMPILE_DEFINITIONS "KELVO_MODULE_RELDIR=\"${module_reldir}\"")
set_source_files_properties(linux/sound.cpp TARGET_DIRECTORY kelvo_core PROPERTIES
  COMPILE_DEFINITIONS "KELVO_ALARM_SOUND_RELDIR=\"${alarm_sound_reldir}\"")
