# shellcheck shell=bash
# The firmware image's layout for the scripts, read from runtime/image_layout.hpp (sourced).

# Sets image_block_size (bytes in a block), image_blocks (blocks in the image) and image_size
# (bytes in the image).
kx_image_layout() {
  local header
  header="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/runtime/image_layout.hpp"
  image_block_size=$(sed -n 's/.* kBlockSize = \([0-9][0-9]*\);.*/\1/p' "$header")
  image_blocks=$(sed -n 's/.* kBlockCount = \([0-9][0-9]*\);.*/\1/p' "$header")
  if [ -z "$image_block_size" ] || [ -z "$image_blocks" ]; then
    echo "$header: no block size or block count" >&2
    return 1
  fi
  image_size=$((image_block_size * image_blocks))
}
