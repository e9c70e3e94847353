# What every Windows program of ours carries: the icon, an application manifest and a
# version resource, made from resources/windows/program.*.in for each target.
function(tallyra_windows_resources target description)
    set(TALLYRA_RC_NAME ${target})
    set(TALLYRA_RC_DESCRIPTION "${description}")
    set(TALLYRA_RC_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
    set(TALLYRA_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
    set(TALLYRA_RC_ICON ${CMAKE_SOURCE_DIR}/resources/icons/tallyra.ico)
    set(TALLYRA_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    configure_file(${CMAKE_SOURCE_DIR}/resources/windows/program.manifest.in
                   ${TALLYRA_RC_MANIFEST} @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/resources/windows/program.rc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES
        OBJECT_DEPENDS "${TALLYRA_RC_MANIFEST};${TALLYRA_RC_ICON}")
endfunction()
