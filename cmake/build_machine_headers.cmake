# Header-only libraries taken from the build machine for a cross build.
#
# Their package configs point at /usr/include, which a cross compiler must not
# search (it holds the build machine's C library), so only the libraries' own
# folders are copied into the build tree and put on the include path.
function(vorn_copy_header_folder folder out_var)
  find_path(dir_${folder} NAMES ${folder} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT dir_${folder})
    message(FATAL_ERROR "${folder}/ not found under /usr/include")
  endif()
  file(COPY ${dir_${folder}}/${folder} DESTINATION ${PROJECT_BINARY_DIR}/build-machine-headers)
  set(${out_var} ${PROJECT_BINARY_DIR}/build-machine-headers PARENT_SCOPE)
endfunction()

vorn_copy_header_folder(nlohmann NLOHMANN_JSON_INCLUDE_DIR)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${NLOHMANN_JSON_INCLUDE_DIR})

# stb_image for the tests, as <stb/stb_image.h>.
vorn_copy_header_folder(stb STB_INCLUDE_DIR)
