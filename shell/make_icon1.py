#!/usr/bin/env python3
# Draws shell/icon1.ico, the viewer's icon: a 32x32, 16-colour picture of a
# yellow sun over green hills in a blue frame.  python3 shell/make_icon1.py
import os
import struct

W = H = 32
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def pixel(x, y):  # y counts from the top
    if x < 2 or y < 2 or x > 29 or y > 29:
        return 4
    if (x - 21) ** 2 + (y - 10) ** 2 <= 25:
        return 11
    if y > 20 + ((x - 12) ** 2) // 40:
        return 2
    return 14


rows = []
for y in range(H - 1, -1, -1):
    rows.append(bytes(pixel(x, y) << 4 | pixel(x + 1, y) for x in range(0, W, 2)))
xor = b''.join(rows)
mask = b'\0' * (4 * H)
header = struct.pack('<IiiHHIIiiII', 40, W, 2 * H, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
table = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
image = header + table + xor + mask
directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', W, H, 16, 0, 1, 4, len(image), 22)
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'icon1.ico'), 'wb') as f:
    f.write(directory + image)
