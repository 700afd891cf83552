# Run by CPack on the staged tree before the package is written: Debian wants every manual page
# compressed with gzip -9n, whichever install rule put it there.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*")
foreach(page IN LISTS pages)
    if(NOT page MATCHES "\\.gz$")
        execute_process(COMMAND gzip -9 -n -f "${page}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "gzip could not compress ${page}")
        endif()
    endif()
endforeach()
