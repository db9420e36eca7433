# Draws the tray icons (data/tools/empty.ico, full.ico), the three sounds
# (data/sound/*.wav), the flag pictures of the language files
# (data/language/*.bmp) and the program icon (data/icons/). Run:
# python3 scripts/make_assets.py data
import struct, zlib, wave, math, sys
out = sys.argv[1]

def png(w, h, pixels):
    raw = b''.join(b'\x00' + bytes(sum((list(p) for p in pixels[y*w:(y+1)*w]), [])) for y in range(h))
    def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')

def envelope(size, full):
    px = []
    for y in range(size):
        for x in range(size):
            s = size / 32.0
            l, r, t, b = 3*s, 29*s, 8*s, 25*s
            inside = l <= x <= r and t <= y <= b
            edge = inside and (x < l+1.2*s or x > r-1.2*s or y < t+1.2*s or y > b-1.2*s)
            # the flap: lines from the top corners to the middle
            cx, cy = (l+r)/2, t + (b-t)*0.55
            flap = False
            if inside:
                for (x0,y0) in ((l,t),(r,t)):
                    dx, dy = cx-x0, cy-y0
                    tt = ((x-x0)*dx + (y-y0)*dy)/(dx*dx+dy*dy)
                    if 0 <= tt <= 1:
                        px_, py_ = x0+tt*dx, y0+tt*dy
                        if (x-px_)**2 + (y-py_)**2 < (0.9*s)**2: flap = True
            if edge or flap: c = (40, 60, 120, 255)
            elif inside: c = (250, 250, 240, 255) if not full else (255, 244, 200, 255)
            else: c = (0, 0, 0, 0)
            if full:
                dx, dy = x - 25*s, y - 8*s
                if dx*dx + dy*dy <= (6*s)**2: c = (220, 30, 30, 255)
            px.append(c)
    return px

def ico(full):
    images = [(16, png(16, 16, envelope(16, full))), (32, png(32, 32, envelope(32, full)))]
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16*len(images)
    dirs, data = b'', b''
    for size, img in images:
        dirs += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(img), offset + len(data))
        data += img
    return head + dirs + data

open(out + '/tools/empty.ico', 'wb').write(ico(False))
open(out + '/tools/full.ico', 'wb').write(ico(True))

def tone(path, notes, rate=22050):
    frames = bytearray()
    for freq, dur in notes:
        n = int(rate*dur)
        for i in range(n):
            env = min(1.0, i/200.0, (n-i)/400.0)
            v = int(12000*env*math.sin(2*math.pi*freq*i/rate)) if freq else 0
            frames += struct.pack('<h', v)
    w = wave.open(path, 'wb'); w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate); w.writeframes(bytes(frames)); w.close()

tone(out + '/sound/found.wav', [(660, 0.12), (0, 0.03), (880, 0.18)])
tone(out + '/sound/alert.wav', [(440, 0.15), (0, 0.05), (440, 0.15), (0, 0.05), (330, 0.25)])
tone(out + '/sound/delete.wav', [(520, 0.08), (390, 0.12)])

# Flag pictures beside the language files: 32 x 24, 24-bit BMP, a grey frame
# so that white stripes stand off the dialog's background.
def bmp(path, w, h, pixel):
    stride = (w*3 + 3) // 4 * 4
    rows = b''
    for y in range(h - 1, -1, -1):   # bottom-up
        row = b''.join(bytes((b, g, r)) for (r, g, b) in (pixel(x, y) for x in range(w)))
        rows += row + b'\x00' * (stride - len(row))
    head = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    open(path, 'wb').write(head + info + rows)

FRAME = (128, 128, 128)
def framed(draw):
    def pixel(x, y):
        if x in (0, 31) or y in (0, 23):
            return FRAME
        return draw(x, y)
    return pixel

def stripes(colours, vertical):
    def draw(x, y):
        pos, size = (x, 32) if vertical else (y, 24)
        return colours[min(len(colours) - 1, pos * len(colours) // size)]
    return framed(draw)

def union_flag(x, y):
    blue, white, red = (1, 33, 105), (255, 255, 255), (200, 16, 46)
    cx, cy = x - 15.5, y - 11.5
    if abs(cx) < 2 or abs(cy) < 2: return red          # cross of St George
    if abs(cx) < 3.2 or abs(cy) < 3.2: return white    # its white border
    # the white saltire; at this size its thin red stripes would only break up
    for d in ((cy*32 - cx*24) / 40.0, (cy*32 + cx*24) / 40.0):
        if abs(d) < 1.9:
            return white
    return blue

lang = out + '/language/'
bmp(lang + 'English.bmp', 32, 24, framed(union_flag))
bmp(lang + 'Deutsch.bmp', 32, 24, stripes([(0, 0, 0), (221, 0, 0), (255, 206, 0)], False))
bmp(lang + 'Italiano.bmp', 32, 24, stripes([(0, 146, 70), (255, 255, 255), (206, 43, 55)], True))
bmp(lang + 'Nederlands.bmp', 32, 24, stripes([(174, 28, 40), (255, 255, 255), (33, 70, 139)], False))

# The program icon for the desktop's icon theme: the envelope of the tray
# icons under a round purple guard badge with a white tick.
def program_icon(size):
    px = envelope(size, False)
    s = size / 32.0
    cx, cy, r = 22.5*s, 21.5*s, 8.5*s
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            if dx*dx + dy*dy <= r*r:
                c = (128, 0, 128, 255)
                # the tick: two strokes, (-4,0)->(-1,3) and (-1,3)->(5,-4), in badge units
                def near(x0, y0, x1, y1):
                    vx, vy = (x1-x0)*s, (y1-y0)*s
                    t = max(0.0, min(1.0, ((dx-x0*s)*vx + (dy-y0*s)*vy) / (vx*vx + vy*vy)))
                    ex, ey = dx - (x0*s + t*vx), dy - (y0*s + t*vy)
                    return ex*ex + ey*ey <= (1.3*s)**2
                if near(-4, 0, -1, 3) or near(-1, 3, 4.5, -3.5):
                    c = (255, 255, 255, 255)
                px[y*size + x] = c
    return png(size, size, px)

import os
for size in (16, 32, 48, 64, 128, 256):
    folder = out + '/desktop/icons/hicolor/%dx%d/apps' % (size, size)
    os.makedirs(folder, exist_ok=True)
    open(folder + '/korvalinthus.png', 'wb').write(program_icon(size))
