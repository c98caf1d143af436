#!/usr/bin/python3
"""Writes a small transfer file as the billing system leaves it: a dBase III table in the
Windows-1250 code page, one record per billed item."""
import sys

import dbf

path = sys.argv[1]
table = dbf.Table(path, "STRANKA C(40); ARTIKEL C(16); KOLICINA N(10,3); CENA N(12,4); STRAC C(10)",
                  dbf_type="db3", codepage="cp1250")
table.open(dbf.READ_WRITE)
for row in [
    ("KOVACIC", "NET-10", 1, 0, "2026-0001"),
    ("KOVACIC", "DOMENA", 1, 0, "2026-0001"),
    ("ZAGAR", "NET-100", 1, 0, "2026-0002"),
    ("CEBELA", "NET-100", 3, 0, "2026-0003"),
    ("NEZNANA", "NET-10", 1, 0, "2026-0004"),
]:
    table.append(row)
table.close()
