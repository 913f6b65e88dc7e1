# tovix_library(NAME DEPENDS <targets...>)
# One static library per source folder: every .cpp/.h of the folder that calls
# it (sub-folders included) is part of the library.
function(tovix_library name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    list(FILTER sources INCLUDE REGEX "\\.(cpp|qrc)$")
    if(sources)
        file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        add_library(${name} STATIC ${sources} ${headers})
        target_link_libraries(${name} PUBLIC project_options ${ARG_DEPENDS})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE project_options ${ARG_DEPENDS})
    endif()
endfunction()

# tovix_tests(FOLDER LIBS <targets...> PRIVATE_BUS <names...>)
# Every *_test.cpp of the calling folder becomes one test program, registered
# with ctest under "<folder>.<name>" and run on the offscreen platform. The
# programs named in PRIVATE_BUS run on a session bus of their own on which
# the simulator's automation door can be activated.
function(tovix_tests folder)
    cmake_parse_arguments(ARG "" "" "LIBS;PRIVATE_BUS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    file(GLOB extra CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(src IN LISTS tests)
        get_filename_component(base ${src} NAME_WE)
        set(exe ${folder}_${base})
        add_executable(${exe} ${src} ${extra})
        target_link_libraries(${exe} PRIVATE testsupport ${ARG_LIBS})
        if(base IN_LIST ARG_PRIVATE_BUS)
            add_test(NAME ${folder}.${base}
                     COMMAND dbus-run-session --config-file=${TOVIX_TEST_BUS_CONFIG} -- $<TARGET_FILE:${exe}>)
        else()
            add_test(NAME ${folder}.${base} COMMAND ${exe})
        endif()
        set_tests_properties(${folder}.${base} PROPERTIES
            TIMEOUT 300
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TOVIX_SOURCE_DIR=${PROJECT_SOURCE_DIR};ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endforeach()
endfunction()
