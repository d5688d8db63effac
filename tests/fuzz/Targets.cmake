# The fuzz targets, by name; each has its seed corpus in corpus/NAME. Read by
# the fuzz build and by the test suite, which replays every seed corpus.
set(GLOWBAKE_FUZZ_IMPORT_EXTENSIONS obj gltf glb ply stl dae)
set(GLOWBAKE_FUZZ_TARGETS model_file hemicube_file token_file scene_file viewer_settings)
foreach(extension ${GLOWBAKE_FUZZ_IMPORT_EXTENSIONS})
  list(APPEND GLOWBAKE_FUZZ_TARGETS import_${extension})
endforeach()
# The material library and a texture of a fixed OBJ scene.
list(APPEND GLOWBAKE_FUZZ_TARGETS import_mtl import_texture)
# A .glb given back by --gltf-lightmap.
list(APPEND GLOWBAKE_FUZZ_TARGETS gltf_lightmap)
