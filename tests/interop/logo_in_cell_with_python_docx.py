"""Puts a school logo into a cell of a sheet, as a teacher's script would with python-docx.

usage: logo_in_cell_with_python_docx.py IN.docx OUT.docx ROW COLUMN   (0-based, python-docx's)
"""
import io
import struct
import sys
import zlib

import docx
from docx.shared import Cm


def logo_png():
    """A 16 x 8 PNG, dark on the left half, made here so the test needs no image file."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + b"\x20" * 8 + b"\xe0" * 8 for _ in range(8))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 8, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


document = docx.Document(sys.argv[1])
cell = document.tables[0].cell(int(sys.argv[3]), int(sys.argv[4]))
cell.paragraphs[0].add_run().add_picture(io.BytesIO(logo_png()), width=Cm(2))
document.save(sys.argv[2])
