#!/usr/bin/python3
"""Reads vCards with vobject, an independent reader, and prints each property it understood, one a
line: NAME<TAB>TYPES<TAB>VALUE, structured values' parts joined by ';', line breaks as \\n, and
END after each card. Exit code 1 when a card does not parse."""
import sys
import vobject

def flat(value):
    if isinstance(value, vobject.vcard.Name):
        parts = [value.family, value.given, value.additional, value.prefix, value.suffix]
    elif isinstance(value, vobject.vcard.Address):
        parts = [value.box, value.extended, value.street, value.city, value.region, value.code, value.country]
    elif isinstance(value, list):
        parts = value
    else:
        parts = [value]
    text = ";".join(p if isinstance(p, str) else " ".join(p) for p in parts)
    return text.replace("\n", "\\n")

try:
    for card in vobject.readComponents(open(sys.argv[1], encoding="utf-8").read()):
        for child in card.getChildren():
            types = ",".join(child.params.get("TYPE", []))
            print(f"{child.name}\t{types}\t{flat(child.value)}")
        print("END")
except Exception as e:
    print(f"error: {e}", file=sys.stderr)
    sys.exit(1)
