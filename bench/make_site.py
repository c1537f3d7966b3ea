#!/usr/bin/python3
"""Writes a deterministic synthetic site for the crawl benchmark.

make_site.py DIR PAGES [cross ORIGIN | book]
Pages live in subfolders (d000/p00000.html ...); page i links to its ten children 10i+1..10i+10
(so every page is reached within a few layers) and, where it has fewer, to pseudo-random pages,
about ten links in all, half quoted and half unquoted, plus two images from a shared pool.

With "cross", the site a user meets more often: each page links to its children and to pages
of other branches, about fourteen links in all, spelled 70% relative, 25% root-relative and 5%
absolute (ORIGIN, e.g. http://127.0.0.1:8080), quoted with ", with ' or not at all, plus two
images.

With "book", a site of documentation: each page opens with the bar such generators write on
every page (the contents, next, previous, up), then links to its ten children and five pages
elsewhere in the book, plus two images. Crawled depth first with no layer limit, the walk runs
down the chain of "next" links and meets each page again from many layers.
"""
import os
import random
import sys


def page_path(i):
    return "d%03d/p%05d.html" % (i // 100, i)


def image_path(k):
    return "img/i%04d.gif" % k


def cross_href(rng, target, origin):
    roll = rng.random()
    if roll < 0.70:
        return "../" + page_path(target)
    if roll < 0.95:
        return "/" + page_path(target)
    return "%s/%s" % (origin, page_path(target))


def cross_page(rng, i, pages, images, origin):
    links = [c for c in range(10 * i + 1, 10 * i + 11) if c < pages]
    while len(links) < 14:
        links.append(rng.randrange(pages))
    rng.shuffle(links)
    parts = ["<html><head><title>Page %d</title></head><body><h1>Page %d</h1>" % (i, i)]
    for n, target in enumerate(links):
        href = cross_href(rng, target, origin)
        quote = ('"', "'", "")[n % 3]
        parts.append("<p><a href=%s%s%s>page %d</a> some text to read.</p>" % (quote, href, quote, target))
    for _ in range(2):
        parts.append('<img src="/%s" alt="picture">' % image_path(rng.randrange(images)))
    parts.append("</body></html>\n")
    return "".join(parts)


def book_page(rng, i, pages, images):
    bar = [0, i + 1, i - 1, (i - 1) // 10]
    links = [t for t in bar if 0 <= t < pages and t != i]
    links += [c for c in range(10 * i + 1, 10 * i + 11) if c < pages]
    links += [rng.randrange(pages) for _ in range(5)]
    parts = ["<html><head><title>Section %d</title></head><body><div class=bar>" % i]
    for n, target in enumerate(links):
        if n == len([t for t in bar if 0 <= t < pages and t != i]):
            parts.append("</div><h1>Section %d</h1>" % i)
        parts.append('<p><a href="../%s">section %d</a> some text to read.</p>' % (page_path(target), target))
    for _ in range(2):
        parts.append('<img src="../%s" alt="picture">' % image_path(rng.randrange(images)))
    parts.append("</body></html>\n")
    return "".join(parts)


def main():
    root, pages = sys.argv[1], int(sys.argv[2])
    cross = len(sys.argv) > 3 and sys.argv[3] == "cross"
    book = len(sys.argv) > 3 and sys.argv[3] == "book"
    origin = sys.argv[4] if cross else ""
    rng = random.Random(20261207)
    images = max(1, pages // 5)
    os.makedirs(os.path.join(root, "img"), exist_ok=True)
    for k in range(images):
        with open(os.path.join(root, image_path(k)), "wb") as f:
            f.write(b"GIF89a" + bytes(rng.randrange(256) for _ in range(200)))
    for i in range(pages):
        if cross or book:
            path = os.path.join(root, page_path(i))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(cross_page(rng, i, pages, images, origin) if cross else book_page(rng, i, pages, images))
            continue
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
