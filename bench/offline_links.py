#!/usr/bin/python3
"""Counts how well a crawled copy browses offline.

offline_links.py COPY_DIR SITE_DIR
Prints one line "files=N pages=N links=N local=N dangling=N remote=N missing=N":
  files     files saved, Trawlkit's run log left out
  links     link values: href/src/background/poster/action, srcset candidates, a refresh's URL,
            url() in style="" and <style> of the saved pages (.html/.htm), url() and @import
            in the saved style sheets (.css)
  local     relative values that lead (percent-decoded) to a file inside COPY_DIR
  dangling  relative values that lead to no file, or out of COPY_DIR
  remote    values still naming a server (http:, ftp:, //host)
  missing   files of SITE_DIR with no copy of the same relative path under the copy's host
            folder (the copy's only top-level folder, or COPY_DIR itself)
"""
import os
import re
import sys
import urllib.parse

# A tag ends at its first ">", as in the scanner, so a quote it cuts short runs to the tag's end.
TAG = re.compile(rb"<([a-z][a-z0-9]*)\b([^>]*)>", re.I)
ATTR = re.compile(rb"""\s(href|src|background|poster|action|srcset|style|content)\s*=\s*(?:"([^"]*)"?|'([^']*)'?|([^\s>]+))""", re.I)
CSS_URL = re.compile(rb"""url\(\s*(?:"([^"]*)"|'([^']*)'|([^)\s]*))\s*\)|@import\s+(?:"([^"]*)"|'([^']*)')""", re.I)
STYLE = re.compile(rb"<style[^>]*>(.*?)</style", re.I | re.S)
REFRESH = re.compile(rb"""\s*[\d.]*\s*[;,]?\s*(?:url\s*=\s*)?['"]?([^'"]*)""", re.I)


def first(m):
    return next((g for g in m.groups() if g is not None), b"")


def values(text, sheet):
    """The link values of a saved page or style sheet, in document order."""
    if sheet:
        return [first(m) for m in CSS_URL.finditer(text)]
    out = []
    for tag in TAG.finditer(text):
        name = tag.group(1).lower()
        for m in ATTR.finditer(b" " + tag.group(2)):
            attr, value = m.group(1).lower(), next((g for g in m.groups()[1:] if g is not None), b"")
            if attr == b"srcset":
                out += [c.split()[0] for c in value.split(b",") if c.split()]
            elif attr == b"style":
                out += [first(u) for u in CSS_URL.finditer(value.replace(b"&quot;", b'"'))]
            elif attr == b"content":
                if name == b"meta" and re.search(rb"http-equiv\s*=\s*[\"']?refresh", tag.group(2), re.I):
                    out.append(REFRESH.match(value).group(1))
            else:
                out.append(value)
    for block in STYLE.finditer(text):
        out += [first(u) for u in CSS_URL.finditer(block.group(1))]
    return out


def main():
    copy, site = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
    files = pages = links = local = dangling = remote = 0
    for folder, _, names in os.walk(copy):
        for name in names:
            if name == "Trawlkit.txt" and folder == copy:
                continue
            files += 1
            sheet = name.endswith(".css")
            if not sheet and not name.endswith((".html", ".htm")):
                continue
            pages += not sheet
            with open(os.path.join(folder, name), "rb") as f:
                text = f.read()
            for raw in values(text, sheet):
                value = raw.decode("utf-8", "replace").strip().replace("&amp;", "&")
                if not value or value.startswith("#") or re.match(r"^(mailto|javascript|data):", value, re.I):
                    continue
                links += 1
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", value) or value.startswith("//"):
                    remote += 1
                    continue
                path = urllib.parse.unquote(value.split("#")[0].split("?")[0])
                if not path:  # "?q=1": the page itself
                    local += 1
                    continue
                target = os.path.realpath(os.path.join(folder, path))
                if target.startswith(copy + os.sep) and os.path.isfile(target):
                    local += 1
                else:
                    dangling += 1
    tops = [e for e in os.listdir(copy) if os.path.isdir(os.path.join(copy, e))]
    host = os.path.join(copy, tops[0]) if len(tops) == 1 else copy
    missing = 0
    for folder, _, names in os.walk(site):
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), site)
            if not os.path.isfile(os.path.join(host, rel)):
                missing += 1
    print("files=%d pages=%d links=%d local=%d dangling=%d remote=%d missing=%d"
          % (files, pages, links, local, dangling, remote, missing))


if __name__ == "__main__":
    main()
