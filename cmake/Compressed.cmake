# horalux_gzip(SOURCE OUTPUT): OUTPUT is the file SOURCE (in the current source folder)
# compressed as Debian installs documentation: gzip -9n, so that its bytes do not depend on
# the time of the build. OUTPUT is the compressed file's path in the current build folder.
find_program(GZIP gzip REQUIRED)

function(horalux_gzip source output)
    get_filename_component(name "${source}" NAME)
    set(copy "${CMAKE_CURRENT_BINARY_DIR}/${name}")
    add_custom_command(OUTPUT "${copy}.gz"
        COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_CURRENT_SOURCE_DIR}/${source}" "${copy}"
        COMMAND ${GZIP} -9nf "${copy}"
        DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${source}"
        VERBATIM)
    set(${output} "${copy}.gz" PARENT_SCOPE)
endfunction()
