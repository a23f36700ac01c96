"""Adds what a teacher's script might to a sheet: a paragraph, a picture and a header.

usage: touch_with_python_docx.py IN.docx OUT.docx
"""
import io
import struct
import sys
import zlib

import docx
from docx.shared import Cm


def tiny_png():
    """A 4 x 4 grey PNG, made here so the test needs no image file."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + b"\x80" * 4 for _ in range(4))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


document = docx.Document(sys.argv[1])
document.add_paragraph("考试说明：请用2B铅笔填涂。")
document.add_picture(io.BytesIO(tiny_png()), width=Cm(1))
document.sections[0].header.paragraphs[0].text = "学校名称"
document.save(sys.argv[2])
