#!/usr/bin/env python3
"""Trims a mesh held as raw in-memory records (x86-64 layout: a u64 count,
then the records, for the vertices and then the faces; 24-byte vertices,
136-byte faces) to what the sphere cut reads, little-endian:

  u32 vertex count, then per vertex: x, y, z (f32), stored face (i32), flags (u8)
  u32 face count, then per face: corners (3 i32), links (3 i32),
      stored normal (3 f32), flags (u8)

Corner normals and materials are left out. Usage: trim_mesh_raw.py IN OUT
"""
import struct
import sys


def main(src, dst):
    data = open(src, 'rb').read()
    out = bytearray()
    (nv,) = struct.unpack_from('<Q', data, 0)
    at = 8
    out += struct.pack('<I', nv)
    for _ in range(nv):
        x, y, z, face, _selection, flags = struct.unpack_from('<3f2iB', data, at)
        out += struct.pack('<3fiB', x, y, z, face, flags & 0xEF)  # the selected bit is not kept
        at += 24
    (nf,) = struct.unpack_from('<Q', data, at)
    at += 8
    out += struct.pack('<I', nf)
    for _ in range(nf):
        rec = struct.unpack_from('<6i3f', data, at)
        flags = data[at + 132]
        out += struct.pack('<6i3fB', *rec, flags & 0xCF)  # nor the face selection bits
        at += 136
    open(dst, 'wb').write(bytes(out))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
