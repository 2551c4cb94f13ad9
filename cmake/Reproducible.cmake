# Two Release builds of one commit give the same DLL bytes, wherever they are built: no link time
# stamp, and no build path in the objects (__FILE__). The binary directory may lie inside the
# source directory, so its map comes last: GCC tries the last given map first. Debug builds keep
# paths in their debug information still: GCC maps by text prefix, so a binary directory such as
# <src>/b also rewrites <src>/base/...; scripts/release.sh --verify checks Release only.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
