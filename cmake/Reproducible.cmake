# Two builds of one commit give the same DLL bytes, wherever they are built: no link time stamp,
# and no build path in the objects (debug information, __FILE__). The binary directory may lie
# inside the source directory, so its map comes last: GCC tries the last given map first. GCC maps
# by text prefix, so a Debug build whose binary directory names the start of a source directory
# (<src>/b and <src>/base) still records paths; Release builds record none.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
