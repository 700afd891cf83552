# The Debian package, made by CPack from the build folder that is already there (scripts/package).
set(KORVANE_MAINTAINER "Korvane developers <korvane@users.noreply.github.com>")

# Debian's documents of the package: the copyright notice and the changelog, compressed.
set(KORVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/korvane)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" gzip ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog
            ${changelog_gz}
    DEPENDS packaging/changelog VERBATIM)
add_custom_target(korvane_changelog ALL DEPENDS ${changelog_gz})
install(FILES packaging/copyright ${changelog_gz} DESTINATION ${KORVANE_DOC_DIR})

file(STRINGS packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^korvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with version ${PROJECT_VERSION}")
endif()

# What the package needs built: everything that is installed, and nothing else (the install
# step itself does not build the tests and benchmarks).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(korvane_installed DEPENDS korvane korvane_man korvane_changelog)
if(TARGET korvane-cli)
    add_dependencies(korvane_installed korvane-cli)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "Korvane developers")
set(CPACK_PACKAGE_CONTACT "${KORVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check that a copied disc holds what its source disc holds")
set(CPACK_PACKAGE_DESCRIPTION
    "Korvane compares a copied CD or DVD with its source disc file by file,\n"
    "by MD5 digests with one drive or byte for byte with two, and shows the\n"
    "outcome of every file in one table. It saves a disc's digest list to\n"
    "check a copy against later, finds the files that cannot be read, and\n"
    "lists mounted disc images as drives too.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Every caption and menu is Japanese: without a font that has its characters the window shows
# empty boxes. Any of these serves; the window asks the font system for whichever is there.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic")
# Disc images are mounted and made with these; the program runs on real drives without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fuseiso, xorriso")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/CompressManPages.cmake)
include(CPack)
