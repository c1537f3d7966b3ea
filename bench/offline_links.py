#!/usr/bin/python3
"""Counts how well a crawled copy browses offline.

offline_links.py COPY_DIR SITE_DIR
Prints one line "files=N pages=N links=N local=N dangling=N remote=N missing=N":
  files     files saved, Trawlkit's run log left out
  links     href/src values in the saved pages (.html/.htm)
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

LINK = re.compile(rb"""<[a-z]+[^>]*?\s(?:href|src|background)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+))""", re.I)


def main():
    copy, site = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
    files = pages = links = local = dangling = remote = 0
    for folder, _, names in os.walk(copy):
        for name in names:
            if name == "Trawlkit.txt" and folder == copy:
                continue
            files += 1
            if not name.endswith((".html", ".htm")):
                continue
            pages += 1
            with open(os.path.join(folder, name), "rb") as f:
                text = f.read()
            for m in LINK.finditer(text):
                value = (m.group(1) or m.group(2) or m.group(3) or b"").decode("utf-8", "replace").strip()
                if not value or value.startswith("#") or value.startswith("mailto:"):
                    continue
                links += 1
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", value) or value.startswith("//"):
                    remote += 1
                    continue
                path = urllib.parse.unquote(value.split("#")[0].split("?")[0])
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
