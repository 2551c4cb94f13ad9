# Sourced by the runners of this folder: paths as the programs in the build's Wine prefix see them.

# windows_path PATH: PATH as programs in the prefix see it (drive Z: is /).
windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}
