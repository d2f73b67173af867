# The installed layout and the Debian package (`cpack -G DEB` in the build folder):
#   /usr/bin/korvane                          the command (it starts the window program)
#   /usr/lib/korvane/korvane-window           the window program
#   /usr/share/korvane/                       the resources (Tools.zip, samples; see src/app)
#   /usr/lib/korvane/vklayer/                 the Vulkan compatibility layer (compiled code stays
#                                             out of share/)
#   /usr/share/applications/korvane.desktop   the menu entry and the korvane: URL handler
#   /usr/share/icons/hicolor/…/korvane.*      the icon, drawn at build time from one SVG
#   /usr/share/metainfo/                      what software centres show
#   /usr/share/doc/korvane/, /usr/share/man/  copyright, changelog and manual page
include(GNUInstallDirs)

set(KORVANE_LINUX_SOURCE "${CMAKE_SOURCE_DIR}/resources/linux")
set(KORVANE_LINUX_BUILD "${CMAKE_BINARY_DIR}/linux")
set(KORVANE_METAINFO_ID "app.korvane.korvane")
set(KORVANE_ICON_SIZES 16 24 32 48 64 128 256 512)
file(MAKE_DIRECTORY "${KORVANE_LINUX_BUILD}")

# The icon's fixed sizes for the icon theme, rendered from the scalable drawing.
add_executable(korvane_iconrender "${CMAKE_SOURCE_DIR}/tools/iconrender/main.cpp")
target_link_libraries(korvane_iconrender PRIVATE korvane_compile_settings Qt6::Gui Qt6::Svg)
set_target_properties(korvane_iconrender PROPERTIES AUTOMOC OFF)
set(icon_pngs)
foreach(size IN LISTS KORVANE_ICON_SIZES)
    list(APPEND icon_pngs "${KORVANE_LINUX_BUILD}/icons/${size}x${size}.png")
endforeach()
add_custom_command(
    OUTPUT ${icon_pngs}
    COMMAND korvane_iconrender "${KORVANE_LINUX_SOURCE}/korvane.svg"
            "${KORVANE_LINUX_BUILD}/icons" ${KORVANE_ICON_SIZES}
    DEPENDS korvane_iconrender "${KORVANE_LINUX_SOURCE}/korvane.svg"
    COMMENT "Rendering the application icon"
    VERBATIM)

# The metainfo and the changelog carry the version and the day of the build.
string(TIMESTAMP KORVANE_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KORVANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${KORVANE_LINUX_SOURCE}/${KORVANE_METAINFO_ID}.metainfo.xml.in"
               "${KORVANE_LINUX_BUILD}/${KORVANE_METAINFO_ID}.metainfo.xml" @ONLY)
configure_file("${KORVANE_LINUX_SOURCE}/changelog.in" "${KORVANE_LINUX_BUILD}/changelog" @ONLY)
configure_file("${KORVANE_LINUX_SOURCE}/korvane.1" "${KORVANE_LINUX_BUILD}/korvane.1" COPYONLY)
# Debian wants both compressed with gzip -9n (no name or time stamp inside).
find_program(KORVANE_GZIP gzip REQUIRED)
set(gzipped "${KORVANE_LINUX_BUILD}/changelog.gz" "${KORVANE_LINUX_BUILD}/korvane.1.gz")
add_custom_command(
    OUTPUT ${gzipped}
    COMMAND "${KORVANE_GZIP}" -9nkf "${KORVANE_LINUX_BUILD}/changelog"
            "${KORVANE_LINUX_BUILD}/korvane.1"
    DEPENDS "${KORVANE_LINUX_BUILD}/changelog" "${KORVANE_LINUX_BUILD}/korvane.1"
    VERBATIM)
add_custom_target(korvane_desktop_files ALL DEPENDS ${icon_pngs} ${gzipped})

install(FILES "${KORVANE_LINUX_SOURCE}/korvane.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${KORVANE_LINUX_BUILD}/${KORVANE_METAINFO_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS KORVANE_ICON_SIZES)
    install(FILES "${KORVANE_LINUX_BUILD}/icons/${size}x${size}.png"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME korvane.png)
endforeach()
install(FILES "${KORVANE_LINUX_SOURCE}/korvane.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES "${KORVANE_LINUX_SOURCE}/copyright" "${KORVANE_LINUX_BUILD}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvane)
install(FILES "${KORVANE_LINUX_BUILD}/korvane.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(TARGETS korvane_vklayer LIBRARY DESTINATION lib/korvane/vklayer)
install(DIRECTORY "${KORVANE_RESOURCES_DIR}/vklayer/" DESTINATION lib/korvane/vklayer
        FILES_MATCHING PATTERN "*.json")

# The package carries the tools archive, so the executable is never built without it.
if(TARGET korvane_tools_archive)
    add_dependencies(korvane korvane_tools_archive)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR Korvane)
set(CPACK_PACKAGE_CONTACT "Korvane <support@korvane.app>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://korvane.app")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "upscale videos and images on your own computer\n"
    "Korvane makes videos and pictures sharper and larger with the Real-ESRGAN AI\n"
    "models, entirely on your computer: videos to 1080p or 4K, pictures two, three\n"
    "or four times. It has a window, and a command line (korvane upscale) for\n"
    "scripts and for spreading work over many machines.\n"
    "\n"
    "The package carries its own ffmpeg and Real-ESRGAN engine, which it installs\n"
    "into the user's data folder on first run.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
# Depends: the libraries of everything the package installs or runs, found by dpkg-shlibdeps at
# packaging time (cmake/DebianDepends.cmake): the executable, the Vulkan layer, and the programs
# inside the tools archive (ffmpeg, the Vulkan engine, the processor engine), which a machine
# without them could not start once installed. Added by hand: the window's platform plugins,
# which Qt loads at run time. The tools keep their own ffmpeg, a copy of Debian's that links
# Debian's FFmpeg libraries, so the libraries' security updates still come through apt.
# Recommends: a Vulkan driver (Mesa's runs on the processor where there is no GPU driver),
# image formats, playback and the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(KORVANE_SHLIBDEPS_FILES "$<TARGET_FILE:korvane>" "$<TARGET_FILE:korvane-window>"
    "$<TARGET_FILE:korvane_vklayer>")
if(KORVANE_TOOLS_STAGING)
    list(APPEND KORVANE_SHLIBDEPS_FILES "${KORVANE_TOOLS_STAGING}/ffmpeg"
         "${KORVANE_TOOLS_STAGING}/realesrgan/realesrgan-ncnn-vulkan"
         "${KORVANE_TOOLS_STAGING}/realesrgan/korvane-engine")
endif()
file(GENERATE OUTPUT "${KORVANE_LINUX_BUILD}/CPackDepends.cmake" CONTENT
"set(KORVANE_SHLIBDEPS_FILES \"${KORVANE_SHLIBDEPS_FILES}\")
set(KORVANE_EXTRA_DEPENDS \"qt6-qpa-plugins\")
set(KORVANE_SHLIBDEPS_SCRATCH \"${KORVANE_LINUX_BUILD}/shlibdeps\")
include(\"${CMAKE_SOURCE_DIR}/cmake/DebianDepends.cmake\")
")
set(CPACK_PROJECT_CONFIG_FILE "${KORVANE_LINUX_BUILD}/CPackDepends.cmake")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "mesa-vulkan-drivers | vulkan-icd, qt6-image-formats-plugins, gstreamer1.0-libav, gstreamer1.0-plugins-good, xdg-utils")
include(CPack)
