#!/usr/bin/env python3
"""Trims the first mesh record (tag 0xE0000001) of a scene file to what a
mesh is built from, leaving out the corner materials, little-endian:

  centre x, y, z, size (f32)
  u32 vertex count, then per vertex: x, y, z (f32), flags (u8)
  u32 face count, then per face: corners (3 i32), flags (u8)

Built with vertexAdd and faceAdd and initialized with the centre and size
kept, it is the mesh the scene's load gives but for the materials: the
kept meshes (.kept) that meshtest::loadKeptMesh reads.
Usage: trim_mesh_record.py IN.tl OUT.kept
"""
import struct
import sys

MESH_TAG = 0xE0000001


def mesh_record(data):
    """The payload of the first mesh record, searched in every chunk."""
    at = 8  # magic and version
    while at + 8 <= len(data):
        tag, length = struct.unpack_from('<II', data, at)
        body = data[at + 8:at + 8 + length]
        inner = 0
        while inner + 8 <= len(body):
            t, n = struct.unpack_from('<II', body, inner)
            if t == MESH_TAG:
                return body[inner + 8:inner + 8 + n]
            inner += 8 + n
        at += 8 + length
    raise SystemExit('no mesh record')


def main(src, dst):
    rec = mesh_record(open(src, 'rb').read())
    out = bytearray(rec[0:16])  # centre and size
    (nv,) = struct.unpack_from('<I', rec, 16)
    at = 20
    out += struct.pack('<I', nv)
    out += rec[at:at + 13 * nv]  # position and flags: the record's layout
    at += 13 * nv
    (nf,) = struct.unpack_from('<I', rec, at)
    at += 4
    out += struct.pack('<I', nf)
    for _ in range(nf):
        # three (corner, 20-byte material) pairs, then the flags
        corners = [struct.unpack_from('<i', rec, at + 24 * k)[0] for k in range(3)]
        flags = rec[at + 72]
        out += struct.pack('<3iB', *corners, flags)
        at += 73
    open(dst, 'wb').write(bytes(out))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
