# The distribution: the folder the installer installs from, for the Tovrik
# edition, laid out in <build>/distribution by the target "distribution":
# Fennicot.exe beside every file it copies for that edition that this build
# has. run.sh lays out its demo installation from the same folder.
#
# No second-edition file may be in it: "Kilmesh.exe" or "Merolt.exe" beside
# the installer would make it install the second edition.

# The target that builds bin/Tovrik.chm.
set(qvr_help_file_target tovrik_help)

if(TARGET fennicot_exe AND TARGET tovrik_exe AND TARGET wendaro_exe AND TARGET pevrale_exe)
    set(QVR_DISTRIBUTION_DIR ${PROJECT_BINARY_DIR}/distribution)
    add_custom_target(distribution
        COMMAND ${CMAKE_COMMAND}
                -DBIN=${PROJECT_BINARY_DIR}/bin
                -DDEMO=${PROJECT_SOURCE_DIR}/resources/technician/demo
                -DDEST=${QVR_DISTRIBUTION_DIR}
                -DWRITE_MASTER=$<TARGET_FILE:write_master_parameters>
                -DPREFIX=${PROJECT_BINARY_DIR}/tools-prefix
                -P ${PROJECT_SOURCE_DIR}/cmake/layOutDistribution.cmake
        COMMENT "Laying out the distribution in ${QVR_DISTRIBUTION_DIR}"
        VERBATIM)
    add_dependencies(distribution fennicot_exe tovrik_exe wendaro_exe pevrale_exe write_master_parameters)
    if(qvr_help_file_target)
        add_dependencies(distribution ${qvr_help_file_target})
    endif()
endif()
