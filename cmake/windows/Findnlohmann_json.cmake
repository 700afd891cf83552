# The JSON library is headers only: the host's copy serves the cross build, seen through a folder
# of its own so that no other host header comes into a Windows compile.
if(NOT TARGET nlohmann_json::nlohmann_json)
    set(korvane_json_headers ${CMAKE_BINARY_DIR}/host-headers)
    file(MAKE_DIRECTORY ${korvane_json_headers})
    if(NOT EXISTS ${korvane_json_headers}/nlohmann)
        file(CREATE_LINK /usr/include/nlohmann ${korvane_json_headers}/nlohmann SYMBOLIC)
    endif()
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                          INTERFACE_INCLUDE_DIRECTORIES ${korvane_json_headers})
endif()
set(nlohmann_json_FOUND TRUE)
