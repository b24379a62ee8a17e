#!/usr/bin/env python3
"""Checks a PDF the engine wrote for what PDF/A-2u and a tagged PDF ask and
poppler's pdfinfo does not report: XMP that parses and agrees with the
information dictionary, the sRGB output intent, ToUnicode on every font, no
glyph 0 shown, and the catalogue's and pages' tagging entries (the
language as given). Objects are
read with `qpdf --json`. Usage: archive_check.py PDF LANGUAGE. Prints one line a failure; exits 1 when any."""
import base64
import json
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

NS = {
    "rdf": "http://www.w3.org/1999/02/22-rdf-syntax-ns#",
    "dc": "http://purl.org/dc/elements/1.1/",
    "xmp": "http://ns.adobe.com/xap/1.0/",
    "pdf": "http://ns.adobe.com/pdf/1.3/",
    "pdfaid": "http://www.aiim.org/pdfa/ns/id/",
    "pdfuaid": "http://www.aiim.org/pdfua/ns/id/",
}


def load(path):
    out = subprocess.run(["qpdf", "--json=2", "--json-stream-data=inline",
                          "--decode-level=generalized", path],
                         capture_output=True, check=True).stdout
    document = json.loads(out)["qpdf"]
    return document[1]["trailer"]["value"], document[1]


def text(value):
    """A PDF string as qpdf's JSON gives it: u:text or b:hex UTF-16."""
    if value.startswith("u:"):
        return value[2:]
    raw = bytes.fromhex(value[2:])
    return raw[2:].decode("utf-16-be") if raw[:2] == b"\xfe\xff" else raw.decode("latin-1")


def main(path, language):
    trailer, objects = load(path)
    failures = []

    def get(ref):
        return objects.get("obj:" + ref, {})

    def value(ref):
        return get(ref).get("value", get(ref).get("stream", {}).get("dict", {}))

    def data(ref):
        return base64.b64decode(get(ref)["stream"]["data"])

    catalog = value(trailer["/Root"])
    info = value(trailer["/Info"])

    # XMP: parses, claims PDF/A-2u and PDF/UA-1, agrees with /Info.
    xmp = ET.fromstring(data(catalog["/Metadata"]).decode("utf-8").split("?>", 1)[1]
                        .rsplit("<?xpacket", 1)[0])
    def prop(name):
        found = xmp.find(".//" + name, NS)
        return None if found is None else "".join(found.itertext()).strip()
    pdf_date = re.sub(r"D:(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)Z", r"\1-\2-\3T\4:\5:\6Z",
                      text(info["/CreationDate"]))
    for name, wanted in [("pdfaid:part", "2"), ("pdfaid:conformance", "U"),
                         ("pdfuaid:part", "1"), ("dc:title", text(info["/Title"])),
                         ("pdf:Producer", text(info["/Producer"])),
                         ("xmp:CreatorTool", text(info["/Creator"])),
                         ("xmp:CreateDate", pdf_date), ("xmp:ModifyDate", pdf_date)]:
        if prop(name) != wanted:
            failures.append(f"XMP {name} is {prop(name)!r}, not {wanted!r}")
    if text(info["/ModDate"]) != text(info["/CreationDate"]):
        failures.append("information dates differ")

    # One output intent, GTS_PDFA1, with an RGB ICC profile.
    intents = [value(i) for i in catalog.get("/OutputIntents", [])]
    if len(intents) != 1 or intents[0].get("/S") != "/GTS_PDFA1":
        failures.append(f"output intents: {intents}")
    else:
        profile = data(intents[0]["/DestOutputProfile"])
        if (profile[36:40] != b"acsp" or profile[16:20] != b"RGB "
                or int.from_bytes(profile[:4], "big") != len(profile)):
            failures.append("the output intent's profile is not an RGB ICC profile")

    # Tagging entries of the catalogue and of every page.
    for key, wanted in [("/MarkInfo", {"/Marked": True}),
                        ("/ViewerPreferences", {"/DisplayDocTitle": True})]:
        if catalog.get(key) != wanted:
            failures.append(f"catalogue {key} is {catalog.get(key)}")
    if text(catalog.get("/Lang", "u:")) != language:
        failures.append(f"catalogue /Lang is {catalog.get('/Lang')}")
    if "/StructTreeRoot" not in catalog:
        failures.append("no structure tree")

    # Every font has ToUnicode; no Type0 string shows glyph 0.
    for ref, obj in objects.items():
        d = obj.get("value", obj.get("stream", {}).get("dict", {}))
        if not isinstance(d, dict):
            continue
        if d.get("/Type") == "/Font" and d.get("/Subtype") in ("/TrueType", "/Type0"):
            if "/ToUnicode" not in d:
                failures.append(f"{ref} {d.get('/BaseFont')} has no ToUnicode")
        if d.get("/Type") == "/Page" and d.get("/Tabs") != "/S":
            failures.append(f"page {ref} has no /Tabs /S")
        if "stream" in obj and not d.get("/Type") and "data" in obj["stream"]:
            content = base64.b64decode(obj["stream"]["data"]).decode("latin-1")
            for codes in re.findall(r"<([0-9A-Fa-f]+)>\s*(?:Tj|')", content):
                if "0000" in [codes[i:i + 4] for i in range(0, len(codes), 4)]:
                    failures.append(f"{ref} shows glyph 0")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
