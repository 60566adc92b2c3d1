# Helpers shared by the folder CMakeLists.
#
# Sources are globbed per folder so that a new file needs no CMake edit.

# qvr_sources(<out-var> <dir> [SUBDIRS <sub-folders...>])
# Every .cpp of a folder and of the sub-folders named, not of any other
# sub-folder: a folder may hold programs (main/) whose sources belong to no
# library.
function(qvr_sources out dir)
    cmake_parse_arguments(ARG "" "" "SUBDIRS" ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp")
    foreach(sub ${ARG_SUBDIRS})
        file(GLOB in_sub CONFIGURE_DEPENDS "${dir}/${sub}/*.cpp")
        list(APPEND found ${in_sub})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# qvr_library(<name> <dir> [QT] [SUBDIRS <sub-folders...>] DEPS <targets...>)
# A static library of every .cpp in <dir> and in the sub-folders named.
# Libraries holding self-registering tables keep their registrations because
# the tables live in the same translation unit as the lookup functions that
# every user calls.
function(qvr_library name dir)
    cmake_parse_arguments(ARG "QT" "" "SUBDIRS;DEPS" ${ARGN})
    qvr_sources(srcs ${dir} SUBDIRS ${ARG_SUBDIRS})
    if(NOT srcs)
        # An empty folder still yields a target, so that dependents link.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        if(ARG_DEPS)
            target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        endif()
        return()
    endif()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    if(ARG_DEPS)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    endif()
endfunction()

# qvr_program(<target> <file name> <dir> DEPS <targets...>)
# A program keeps the file name the system knows it by ("Tovrik.exe").
function(qvr_program target filename)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS})
    get_filename_component(base ${filename} NAME_WLE)
    get_filename_component(ext ${filename} LAST_EXT)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${base}" SUFFIX "${ext}"
        RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
    if(ARG_QT)
        set_target_properties(${target} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    endif()
endfunction()

# qvr_test_suite(<folder> [SUBDIRS <sub-folders...>] DEPS <targets...> [QT])
# One GoogleTest executable per folder of tests/, with the sub-folders named
# (they mirror the sub-folders of the folder under test). Test names carry
# their CTest labels: a suite whose name contains "Threads" is labelled
# threads, "Widget" widget, "Slow" slow, "Port8722" port8722 (with a resource
# lock).
function(qvr_test_suite folder)
    cmake_parse_arguments(ARG "QT" "" "SUBDIRS;DEPS" ${ARGN})
    qvr_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR}/${folder} SUBDIRS ${ARG_SUBDIRS})
    if(NOT srcs)
        return()
    endif()
    set(exe tests_${folder})
    string(REPLACE "/" "_" exe ${exe})
    add_executable(${exe} ${srcs})
    target_link_libraries(${exe} PRIVATE test_support ${ARG_DEPS} GTest::gtest GTest::gmock)
    if(ARG_QT)
        set_target_properties(${exe} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    endif()
    # gtest_discover_tests hands its PROPERTIES on as one flat list, so a
    # property with several values (the environment, the two labels of a
    # port test) would come apart into wrong name-value pairs. Those are set
    # by a test file of our own that CTest reads after the discovered tests,
    # on each group's list of test names.
    gtest_discover_tests(${exe} TEST_FILTER "-*Threads*:*Widget*:*Slow*:*Port8722*" TEST_LIST ${exe}_plain
        DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    gtest_discover_tests(${exe} TEST_FILTER "*Threads*-*Widget*:*Slow*:*Port8722*" TEST_LIST ${exe}_threads
        DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads TIMEOUT 300)
    gtest_discover_tests(${exe} TEST_FILTER "*Widget*-*Slow*:*Port8722*" TEST_LIST ${exe}_widget
        DISCOVERY_TIMEOUT 60 PROPERTIES LABELS widget TIMEOUT 300)
    gtest_discover_tests(${exe} TEST_FILTER "*Slow*-*Port8722*" TEST_LIST ${exe}_slow
        DISCOVERY_TIMEOUT 60 PROPERTIES LABELS slow TIMEOUT 600)
    # One at a time: they all listen on the machines server's fixed port.
    gtest_discover_tests(${exe} TEST_FILTER "*Port8722*" TEST_LIST ${exe}_port8722
        DISCOVERY_TIMEOUT 60 PROPERTIES RESOURCE_LOCK port8722 TIMEOUT 600)
    set(properties ${CMAKE_CURRENT_BINARY_DIR}/${exe}_properties.cmake)
    file(WRITE ${properties} "
foreach(group plain threads widget slow port8722)
    if(${exe}_\${group})
        set_tests_properties(\${${exe}_\${group}} PROPERTIES
            ENVIRONMENT \"TZ=UTC;QT_QPA_PLATFORM=offscreen;QVR_BUILD_BIN=${PROJECT_BINARY_DIR}/bin\")
    endif()
endforeach()
if(${exe}_port8722)
    set_tests_properties(\${${exe}_port8722} PROPERTIES LABELS \"port8722;slow\")
endif()
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
endfunction()

set(QVR_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzz target runs in the test pass")

# qvr_fuzz_target(<name> <source> DEPS <targets...>)
# A libFuzzer target, run for a few seconds on its seed corpus as a CTest test.
function(qvr_fuzz_target name source)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(fuzz_${name} ${source})
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
    set(work ${CMAKE_CURRENT_BINARY_DIR}/work/${name})
    # The prefix lies in memory (/dev/shm) where there is one: the targets
    # that touch files then pay no disk for each input.
    # ASan records no stack for each allocation and release
    # (malloc_context_size=0): on the deeper targets that recording took a
    # tenth of the time. A report still shows where the bad access happened;
    # running the saved input again without the option adds where the memory
    # was allocated and freed. Options already in ASAN_OPTIONS come later and
    # so win.
    add_test(NAME fuzz_${name}
        COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
                sh -c "ASAN_OPTIONS=\"malloc_context_size=0\${ASAN_OPTIONS:+:\$ASAN_OPTIONS}\"; export ASAN_OPTIONS; rm -rf '${work}' && mkdir -p '${work}/corpus' && cp -r '${corpus}/.' '${work}/corpus/' 2>/dev/null; prefix=$(mktemp -d /dev/shm/qvr-fuzz-${name}.XXXXXX 2>/dev/null) || { prefix='${work}/prefix'; mkdir -p \"$prefix\"; }; QVR_PREFIX=\"$prefix\" $<TARGET_FILE:fuzz_${name}> -max_total_time=${QVR_FUZZ_SECONDS} -rss_limit_mb=2048 -timeout=10 '${work}/corpus'; rc=$?; case \"$prefix\" in /dev/shm/*) rm -rf \"$prefix\";; esac; exit $rc")
    set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz TIMEOUT 120)
endfunction()
