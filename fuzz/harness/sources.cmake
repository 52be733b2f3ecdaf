# The fuzz harnesses: built into the fuzz targets and, so that committed crash
# inputs replay as tests, into the test program.
set(FUZZ_HARNESS_SOURCES
  ${PROJECT_SOURCE_DIR}/fuzz/harness/export_input.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/harness/fuzz_support.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/harness/image_readers_input.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/harness/json_scene_input.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/harness/model_update_input.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/harness/preview_input.cpp
)
if(TARGET assimp::assimp)
  # Real scene files need the asset-import library, which the Windows cross build lacks.
  list(APPEND FUZZ_HARNESS_SOURCES ${PROJECT_SOURCE_DIR}/fuzz/harness/real_scene_input.cpp)
endif()
