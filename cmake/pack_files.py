"""Build step: packs files for embedding, each as its length (four bytes, little-endian)
followed by its raw deflate stream, which editor/toolkit/inflate.cpp unpacks.

    python3 pack_files.py OUTPUT_DIR FILE...

writes OUTPUT_DIR/<file name without extension>.packed for each FILE; the same input gives
the same bytes on every run.
"""
import pathlib
import sys
import zlib

output = pathlib.Path(sys.argv[1])
output.mkdir(parents=True, exist_ok=True)
for name in sys.argv[2:]:
    source = pathlib.Path(name)
    data = source.read_bytes()
    # Negative window bits: the bare stream, without zlib's header and checksum.
    packer = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
    packed = packer.compress(data) + packer.flush()
    (output / (source.stem + ".packed")).write_bytes(len(data).to_bytes(4, "little") + packed)
