# Included by cpack (CPACK_PROJECT_CONFIG_FILE) once per generator: for the Debian package it
# computes Depends with one dpkg-shlibdeps run over every program the package installs or runs.
# CPack's own dpkg-shlibdeps step sees only the ELF files in the package, but ffmpeg and both
# engines come inside the tools archive and run from the user's folder once installed, so they
# are named here from the build's staged copies (the files the archive was zipped from).
#   KORVANE_SHLIBDEPS_FILES   the ELF files, set by the generated file that includes this one
#   KORVANE_EXTRA_DEPENDS     what no ELF file names (packages loaded at run time)
#   KORVANE_SHLIBDEPS_SCRATCH a build folder for dpkg-shlibdeps' working files
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()

find_program(KORVANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT KORVANE_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps (Debian package dpkg-dev) is needed to make the package")
endif()
set(shlibdeps_arguments)
foreach(file IN LISTS KORVANE_SHLIBDEPS_FILES)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} is missing: build the project (and its tools archive) "
                            "before making the package")
    endif()
    list(APPEND shlibdeps_arguments "-e${file}")
endforeach()

# dpkg-shlibdeps reads the source package's control file; a minimal one is enough.
string(RANDOM LENGTH 8 suffix)
set(scratch "${KORVANE_SHLIBDEPS_SCRATCH}/${suffix}")
file(MAKE_DIRECTORY "${scratch}/debian")
file(WRITE "${scratch}/debian/control" "Source: korvane\n\nPackage: korvane\nArchitecture: any\n")
execute_process(
    COMMAND "${KORVANE_DPKG_SHLIBDEPS}" -O ${shlibdeps_arguments}
    WORKING_DIRECTORY "${scratch}"
    RESULT_VARIABLE shlibdeps_result
    OUTPUT_VARIABLE shlibdeps_output
    ERROR_VARIABLE shlibdeps_errors)
file(REMOVE_RECURSE "${scratch}")
if(NOT shlibdeps_result EQUAL 0)
    message(FATAL_ERROR "dpkg-shlibdeps failed:\n${shlibdeps_errors}")
endif()
string(REGEX MATCH "shlibs:Depends=([^\n]*)" matched "${shlibdeps_output}")
if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "dpkg-shlibdeps named no dependencies:\n${shlibdeps_output}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, ${KORVANE_EXTRA_DEPENDS}")
