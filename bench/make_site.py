#!/usr/bin/python3
"""Writes a deterministic synthetic site for the crawl benchmark.

make_site.py DIR PAGES
Pages live in subfolders (d000/p00000.html ...); page i links to its ten children 10i+1..10i+10
(so every page is reached within a few layers) and, where it has fewer, to pseudo-random pages,
about ten links in all, half quoted and half unquoted, plus two images from a shared pool.
"""
import os
import random
import sys


def page_path(i):
    return "d%03d/p%05d.html" % (i // 100, i)


def image_path(k):
    return "img/i%04d.gif" % k


def main():
    root, pages = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20261207)
    images = max(1, pages // 5)
    os.makedirs(os.path.join(root, "img"), exist_ok=True)
    for k in range(images):
        with open(os.path.join(root, image_path(k)), "wb") as f:
            f.write(b"GIF89a" + bytes(rng.randrange(256) for _ in range(200)))
    for i in range(pages):
        links = [c for c in range(10 * i + 1, 10 * i + 11) if c < pages]
        while len(links) < 10:
            links.append(rng.randrange(pages))
        parts = ["<html><head><title>Page %d</title></head><body><h1>Page %d</h1>" % (i, i)]
        for n, target in enumerate(links):
            href = "../" + page_path(target)
            if n % 2:
                parts.append('<p><a href="%s">page %d</a> some text to read.</p>' % (href, target))
            else:
                parts.append("<p><a href=%s>page %d</a> more text here.</p>" % (href, target))
        for _ in range(2):
            parts.append('<img src="../%s" alt="picture">' % image_path(rng.randrange(images)))
        parts.append("</body></html>\n")
        path = os.path.join(root, page_path(i))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write("".join(parts))
    with open(os.path.join(root, "index.html"), "w") as f:
        f.write('<html><body><a href="%s">start</a></body></html>\n' % page_path(0))


if __name__ == "__main__":
    main()
