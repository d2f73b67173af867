# korvane_add_test(<name> SOURCES <files...> [LIBS <targets...>])
# One QtTest executable per unit, registered with CTest. Each test runs with its own data,
# configuration and temporary folders (see tests/support/TestSupport.h) and no display.
function(korvane_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}/tests")
    target_link_libraries(${name} PRIVATE korvane_test_support ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Adds one test per tst_*.cpp file of the calling folder.
function(korvane_add_folder_tests)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB test_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp")
    foreach(source IN LISTS test_sources)
        get_filename_component(name "${source}" NAME_WE)
        korvane_add_test(${name} SOURCES "${source}" LIBS ${ARG_LIBS})
    endforeach()
endfunction()
