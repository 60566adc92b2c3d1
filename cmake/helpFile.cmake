# Builds one edition's help file (run with cmake -P at build time).
#
#   -DEDITION=Tovrik|Merolt   the program name written into the topics (@EDITION@)
#   -DTOPICS=<folder>         the HTML topics and the stylesheet, in their folders
#   -DPICTURES=<folder>       the pictures the topics show (../images/<name>.png)
#   -DSTAGE=<folder>          a scratch folder, emptied first
#   -DOUTPUT=<file>           the help file: an uncompressed tar of the topics
#
# A picture that is not in PICTURES is left out together with its paragraph,
# so a topic never shows a broken image while a page's picture is still to
# be taken.
cmake_minimum_required(VERSION 3.25)

foreach(var EDITION TOPICS PICTURES STAGE OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "helpFile.cmake: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(GLOB_RECURSE sources RELATIVE "${TOPICS}" "${TOPICS}/*.htm" "${TOPICS}/*.css")
list(SORT sources)

set(members)
set(pictures)
foreach(source IN LISTS sources)
    file(READ "${TOPICS}/${source}" text)
    string(REPLACE "@EDITION@" "${EDITION}" text "${text}")
    string(REGEX MATCHALL "images/[A-Za-z0-9_.-]+\\.png" shown "${text}")
    list(REMOVE_DUPLICATES shown)
    foreach(picture IN LISTS shown)
        get_filename_component(name "${picture}" NAME)
        if(EXISTS "${PICTURES}/${name}")
            list(APPEND pictures "${name}")
        else()
            string(REPLACE "." "\\." pattern "${name}")
            string(REGEX REPLACE "<p class=\"picture\"><img src=\"[./]*images/${pattern}\"[^\n]*\n" "" text "${text}")
        endif()
    endforeach()
    file(WRITE "${STAGE}/${source}" "${text}")
    list(APPEND members "${source}")
endforeach()

if(pictures)
    list(REMOVE_DUPLICATES pictures)
    list(SORT pictures)
    foreach(name IN LISTS pictures)
        file(COPY "${PICTURES}/${name}" DESTINATION "${STAGE}/images")
        list(APPEND members "images/${name}")
    endforeach()
endif()

# A fixed time keeps the file the same from build to build.
get_filename_component(outputDir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${outputDir}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUTPUT}.part" "--mtime=2000-01-01 00:00:00 UTC" -- ${members}
    WORKING_DIRECTORY "${STAGE}"
    RESULT_VARIABLE failed)
if(failed)
    file(REMOVE "${OUTPUT}.part")
    message(FATAL_ERROR "helpFile.cmake: could not write ${OUTPUT}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
