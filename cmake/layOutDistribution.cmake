cmake_minimum_required(VERSION 3.25)

# Lays out the distribution folder (run by the target "distribution", see
# distribution.cmake). Inputs: BIN (the built programs), DEMO (the Run Tests
# page's files), DEST, WRITE_MASTER (the master parameters writer) and
# PREFIX (a scratch prefix for that writer, so that a build never creates
# or touches the user's own).
#
# Each entry: the name in the distribution, its source, and whether the
# build must have it. The names are those the installer copies by.
set(entries
    "Fennicot.exe|${BIN}/Fennicot.exe|required"
    "Wendaro.exe|${BIN}/Wendaro.exe|required"
    "Pevrale.exe|${BIN}/Pevrale.exe|required"
    "Tovrik.exe|${BIN}/Tovrik.exe|required"
    "Tovrik.chm|${BIN}/Tovrik.chm|required"
    "cube.zs|${DEMO}/Cube.zs|required"
    "target_test.txt|${DEMO}/Target_Test.txt|required")

file(MAKE_DIRECTORY ${DEST})
set(names "Master_Parameters.txt")
foreach(entry ${entries})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 source)
    list(GET parts 2 need)
    if(NOT EXISTS ${source})
        if(need STREQUAL "required")
            message(FATAL_ERROR "distribution: ${source} is missing")
        endif()
        message(STATUS "distribution: no ${name} (${source} not there)")
        continue()
    endif()
    list(APPEND names ${name})
    # Unchanged files keep their time stamps, so that a rebuild copies only
    # what changed; the mode bits (executable programs) go with the copy.
    file(COPY_FILE ${source} ${DEST}/${name} ONLY_IF_DIFFERENT)
endforeach()

# Whatever else lies there is a leftover of an earlier layout (a file whose
# source has gone, a hand-copied second-edition program): the installer
# would install it, so it goes.
file(GLOB present RELATIVE ${DEST} ${DEST}/*)
foreach(name ${present})
    if(NOT name IN_LIST names)
        message(STATUS "distribution: removing ${name}")
        file(REMOVE_RECURSE ${DEST}/${name})
    endif()
endforeach()

execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QVR_PREFIX=${PREFIX} TZ=UTC ${WRITE_MASTER} ${DEST}/Master_Parameters.txt
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "distribution: cannot write Master_Parameters.txt")
endif()
