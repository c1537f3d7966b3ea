#!/usr/bin/python3
"""Writes Trawlkit's icon and bitmap artwork as SVG files named by resource id.

The pictures are drawn on the pixel grid of their 100% size (32 x 32 icons, the 40 x 30 truck, the
12 x 11 tree marks), so they stay sharp at 100% and scale cleanly to 200%. Run it after changing a
picture; the SVG files are committed, so the build does not need Python.
"""
import math
import pathlib

OUT = pathlib.Path(__file__).resolve().parent


def svg(w, h, body, crisp=False):
    extra = ' shape-rendering="crispEdges"' if crisp else ''
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}"{extra}>\n{body}\n</svg>\n')


def write(name, text):
    (OUT / name).write_text(text, encoding='utf-8')


# Continents as (longitude, latitude, half width, half height) in degrees and pixels of a 14.5
# radius ball. They are projected onto the visible half, so turning the globe is a longitude shift;
# shapes are kept inside the ball by the projection, as the SVG renderer has no clipping.
CONTINENTS = ((-60, -20, 4.5, 5.5), (-35, 25, 3.0, 4.5), (20, -25, 5.5, 3.5), (30, 15, 3.5, 6.0),
              (95, -20, 6.0, 4.0), (130, 25, 3.0, 2.5), (170, 0, 3.5, 5.0))


def globe(cx, cy, r, turn):
    parts = [f'<defs><radialGradient id="sea" cx="0.38" cy="0.34" r="0.75">'
             f'<stop offset="0" stop-color="#8fd3ff"/><stop offset="1" stop-color="#1763b8"/>'
             f'</radialGradient></defs><circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#sea)"/>']
    scale = r / 14.5
    for lon, lat, hw, hh in CONTINENTS:
        a = math.radians(lon + turn)
        if math.cos(a) < 0.25:
            continue  # on the far side
        phi = math.radians(lat)
        x = cx + r * 0.82 * math.sin(a) * math.cos(phi)
        y = cy - r * 0.82 * math.sin(phi)
        rx = hw * scale * math.cos(a)
        ry = hh * scale
        parts.append(f'<ellipse cx="{x:.2f}" cy="{y:.2f}" rx="{rx:.2f}" ry="{ry:.2f}" fill="#3fae4a" '
                     f'stroke="#2a7a33" stroke-width="0.6"/>')
    parts.append(f'<ellipse cx="{cx}" cy="{cy}" rx="{r * 0.45:.1f}" ry="{r - 1}" fill="none" stroke="#ffffff" '
                 f'stroke-opacity="0.35" stroke-width="0.8"/>'
                 f'<line x1="{cx - r + 1}" y1="{cy}" x2="{cx + r - 1}" y2="{cy}" stroke="#ffffff" '
                 f'stroke-opacity="0.35" stroke-width="0.8"/>'
                 f'<circle cx="{cx}" cy="{cy}" r="{r - 0.5}" fill="none" stroke="#0d3f7a" stroke-width="1"/>')
    return ''.join(parts)


def product_icon():
    arrow = ('<path d="M20.5,14.5 h6 v7 h4 l-7,8 l-7,-8 h4 z" fill="#ff9f1a" stroke="#9a5500" '
             'stroke-width="1" stroke-linejoin="round"/>')
    return svg(32, 32, globe(14, 14, 12.5, 0) + arrow)


def bin_frame(k):
    # Frame 0 is the closed bin at rest; the lid swings open step by step and the last frame
    # adds a little swirl, as if something had just gone in.
    angle = -18 * k
    body = ('<path d="M8,11 h16 l-1.6,18 a2,2 0 0 1 -2,1.5 h-8.8 a2,2 0 0 1 -2,-1.5 z" fill="#b9c4cf" '
            'stroke="#3d4b59" stroke-width="1"/>'
            '<path d="M12.5,14 v12.5 M16,14 v12.5 M19.5,14 v12.5" stroke="#6b7b8a" stroke-width="1.2" '
            'stroke-linecap="round"/>')
    lid = (f'<g transform="rotate({angle} 25 9.5)">'
           '<rect x="6" y="7.5" width="20" height="3" rx="1" fill="#8d9baa" stroke="#3d4b59" stroke-width="1"/>'
           '<rect x="13" y="5" width="6" height="2.5" rx="1" fill="#8d9baa" stroke="#3d4b59" stroke-width="1"/>'
           '</g>')
    swirl = ''
    if k >= 3:
        op = 0.3 * (k - 2)
        swirl = (f'<path d="M11,9 q5,-6 10,0" fill="none" stroke="#e2483d" stroke-width="1.6" '
                 f'stroke-linecap="round" opacity="{op:.1f}"/>')
    return svg(32, 32, body + swirl + lid)


def add_icon():
    page = ('<path d="M5.5,2.5 h13 l6,6 v20 h-19 z" fill="#ffffff" stroke="#4a5866" stroke-width="1"/>'
            '<path d="M18.5,2.5 v6 h6" fill="#dfe6ee" stroke="#4a5866" stroke-width="1"/>'
            '<path d="M9,13.5 h10 M9,17.5 h7" stroke="#9aa8b6" stroke-width="1.2"/>')
    plus = ('<circle cx="22" cy="22" r="8" fill="#2f9e44" stroke="#1b6b2b" stroke-width="1"/>'
            '<path d="M22,17 v10 M17,22 h10" stroke="#ffffff" stroke-width="2.6" stroke-linecap="round"/>')
    return svg(32, 32, page + plus)


def computer(flash):
    screen_fill = '#fff7c2' if flash else '#123a73'
    body = ('<rect x="3.5" y="3.5" width="25" height="19" rx="2" fill="#e7e1d3" stroke="#5b5547" stroke-width="1"/>'
            f'<rect x="6.5" y="6.5" width="19" height="13" fill="{screen_fill}" stroke="#3c382e" stroke-width="1"/>'
            '<path d="M13,22.5 h6 l1.5,3.5 h-9 z" fill="#cfc8b8" stroke="#5b5547" stroke-width="1"/>'
            '<rect x="4.5" y="26.5" width="23" height="3" rx="1" fill="#e7e1d3" stroke="#5b5547" stroke-width="1"/>')
    if flash:
        star = ('<path d="M16,4 l2,6 l6,-2 l-4,5 l5,4 l-6,0 l-1,6 l-3,-5 l-5,3 l2,-6 l-6,-3 l6,-1 z" '
                'fill="#ffd21a" stroke="#c98a00" stroke-width="0.8" stroke-linejoin="round"/>')
        body += star
    else:
        body += '<path d="M8.5,9 h8 M8.5,12 h12 M8.5,15 h6" stroke="#5fa8ff" stroke-width="1"/>'
    return svg(32, 32, body)


def open_project():
    back = '<path d="M2.5,8.5 h9 l2,2.5 h14 v16.5 h-25 z" fill="#e8b73a" stroke="#8a6412" stroke-width="1"/>'
    doc = ('<path d="M9.5,4.5 h11 l4,4 v12 h-15 z" fill="#ffffff" stroke="#4a5866" stroke-width="1"/>'
           '<path d="M12,10.5 h9 M12,13.5 h9 M12,16.5 h6" stroke="#3d7bd9" stroke-width="1.2"/>')
    front = ('<path d="M2.5,27.5 l4,-13 h23 l-4,13 z" fill="#ffd45c" stroke="#8a6412" stroke-width="1" '
             'stroke-linejoin="round"/>')
    return svg(32, 32, back + doc + front)


def truck(frame):
    # Faces left: it drives from the globe on the right to the computer on the left.
    box = ('<rect x="15.5" y="5.5" width="22" height="15" rx="1" fill="#f4f6f8" stroke="#41505e" stroke-width="1"/>'
           '<path d="M18,10.5 h17" stroke="#e2483d" stroke-width="2"/>'
           '<path d="M18,14.5 h12" stroke="#3d7bd9" stroke-width="1.2"/>')
    cab = ('<path d="M14.5,9.5 h-7 l-5,6 v6 h12 z" fill="#e2483d" stroke="#7d1d16" stroke-width="1" '
           'stroke-linejoin="round"/>'
           '<path d="M8.5,11 h5 v4.5 h-8.5 z" fill="#bfe3ff" stroke="#7d1d16" stroke-width="0.8"/>'
           '<rect x="2.5" y="20.5" width="35" height="2" fill="#55606b"/>')
    wheels = ''
    for wx in (8, 31):
        spokes = ''.join(
            f'<line x1="{wx}" y1="24" x2="{wx + 2.4 * math.cos(math.radians(a + 40 * frame)):.2f}" '
            f'y2="{24 + 2.4 * math.sin(math.radians(a + 40 * frame)):.2f}" stroke="#d9dde1" stroke-width="0.9"/>'
            for a in (0, 120, 240))
        wheels += f'<circle cx="{wx}" cy="24" r="4" fill="#2b2f33"/>' + spokes
    puff_r = (1.5, 2.2, 2.9)[frame]
    puff = (f'<circle cx="{38.5 - frame * 0.5}" cy="{19 - frame}" r="{puff_r}" fill="#b8c0c8" '
            f'opacity="{0.9 - 0.25 * frame:.2f}"/>')
    return svg(40, 30, box + cab + wheels + puff)


def tree_mark(kind):
    # 12 x 11 pixels: the box fills 11 x 11 from the left edge, the last column stays clear.
    fill = '#c0c0c0' if kind == 'partial' else '#ffffff'
    box = f'<rect x="0.5" y="0.5" width="10" height="10" fill="{fill}" stroke="#404040" stroke-width="1"/>'
    check = ''
    if kind != 'empty':
        colour = '#505050' if kind == 'partial' else '#000000'
        check = (f'<path d="M2.5,5.5 l2,2 l4,-4.5" fill="none" stroke="{colour}" stroke-width="1.6" '
                 'stroke-linecap="square"/>')
    return svg(12, 11, box + check)


def overwrite_icon():
    doc = ('<path d="M4.5,2.5 h13 l6,6 v21 h-19 z" fill="#ffffff" stroke="#4a5866" stroke-width="1"/>'
           '<path d="M17.5,2.5 v6 h6" fill="#dfe6ee" stroke="#4a5866" stroke-width="1"/>')
    sign = ('<path d="M21,12.5 l9.5,17 h-19 z" fill="#ffcc1a" stroke="#8a6a00" stroke-width="1" '
            'stroke-linejoin="round"/>'
            '<path d="M21,18 v6" stroke="#3b2f00" stroke-width="2" stroke-linecap="round"/>'
            '<circle cx="21" cy="27" r="1.1" fill="#3b2f00"/>')
    return svg(32, 32, doc + sign)


def main():
    write('icon128_product.svg', product_icon())
    for k in range(6):
        write(f'icon{136 + k}_delete{k}.svg', bin_frame(k))
    write('icon142_add.svg', add_icon())
    # 148, 147, 146 are shown in that order, so the globe turns eastward.
    for rid, turn in ((148, 0), (147, 40), (146, 80)):
        write(f'icon{rid}_globe.svg', svg(32, 32, globe(16, 16, 14.5, turn)))
    write('icon149_computer.svg', computer(False))
    write('icon150_computer_flash.svg', computer(True))
    write('icon151_open.svg', open_project())
    for i in range(3):
        write(f'bitmap{154 + i}_truck.svg', truck(i))
    write('bitmap165_checked.svg', tree_mark('checked'))
    write('bitmap166_partial.svg', tree_mark('partial'))
    write('bitmap167_empty.svg', tree_mark('empty'))
    write('icon172_overwrite.svg', overwrite_icon())
    write('icon174_blank.svg', svg(32, 32, ''))


if __name__ == '__main__':
    main()
