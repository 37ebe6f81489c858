# Run by cpack after it made the packages (CPACK_POST_BUILD_SCRIPTS). CPack's debug-symbol
# packages (*-dbgsym_*.ddeb) list their files in md5sums by the absolute paths of its
# staging directory, and have no /usr/share/doc entry. Each is unpacked and packed again
# with md5sums relative to the root, as dpkg expects, and with
# /usr/share/doc/<package>-dbgsym a link to the doc directory of the package it belongs
# to (on which it depends exactly), as Debian's own debug packages have it.
find_program(DPKG_DEB dpkg-deb REQUIRED)
find_program(MD5SUM md5sum REQUIRED)
foreach(file IN LISTS CPACK_PACKAGE_FILES)
    if(NOT file MATCHES "/([^/_]+)-dbgsym_[^/]*\\.ddeb$")
        continue()
    endif()
    set(package "${CMAKE_MATCH_1}")
    set(root "${file}.root")
    file(REMOVE_RECURSE "${root}")
    execute_process(COMMAND ${DPKG_DEB} --raw-extract "${file}" "${root}"
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE debug_files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/usr/*")
    list(SORT debug_files)
    execute_process(COMMAND ${MD5SUM} ${debug_files} WORKING_DIRECTORY "${root}"
                    OUTPUT_FILE "${root}/DEBIAN/md5sums" COMMAND_ERROR_IS_FATAL ANY)
    file(MAKE_DIRECTORY "${root}/usr/share/doc")
    file(CREATE_LINK "${package}" "${root}/usr/share/doc/${package}-dbgsym" SYMBOLIC)
    execute_process(COMMAND ${DPKG_DEB} --root-owner-group --build "${root}" "${file}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${root}")
endforeach()
