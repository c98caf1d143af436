#!/usr/bin/python3
"""Writes the demo's transfer file as the billing system leaves it: a dBase III table in the
Windows-1250 code page, one record per billed item of November's subscriptions.

    make-transfer-file.py PATH [--brez-cene]

With --brez-cene the file has no CENA field, so every line is priced by the rules and
formulas of the accounting database instead of taking the billing system's price.

Thirteen customers of eight payers pass their checks; three records fail one each: a
customer the accounting database does not know (NOVAK PETER), an article it does not know
(NET-2000) and a customer whose payer is no partner (ROZMAN TJAŠA)."""
import argparse

import dbf

# (customer as Subjekt.Naziv2, article, quantity, billing system's unit price, invoice no.)
RECORDS = [
    ("KOVAČIČ JANEZ", "NET-300", 1, 30.00, "2611-00101"),
    ("KOVAČIČ JANEZ", "TV-OSN", 1, 15.00, "2611-00101"),
    ("KOVAČIČ JANEZ", "TEL-MIN", 134, 0.02, "2611-00101"),
    ("KOVAČIČ JANEZ", "NET-2000", 1, 120.00, "2611-00101"),  # no such article
    ("ČEBELA D.O.O.", "NET-1000", 1, 89.00, "2611-00102"),
    ("ČEBELA D.O.O.", "GOST", 1, 12.50, "2611-00102"),
    ("ČEBELA D.O.O.", "STATIP", 1, 5.00, "2611-00102"),
    ("ŽAGAR MOJCA", "NET-50", 1, 20.00, "2611-00103"),
    ("ŠUŠTAR BOŠTJAN", "NET-300", 1, 30.00, "2611-00104"),
    ("ŠUŠTAR BOŠTJAN", "TV-OSN", 1, 15.00, "2611-00104"),
    ("PR' FRANCETU", "NET-300", 1, 30.00, "2611-00105"),
    ("PR' FRANCETU", "TEL-FIX", 1, 8.50, "2611-00105"),
    ("PR' FRANCETU", "TEL-MIN", 412, 0.02, "2611-00105"),
    ("PR' LOJZETU", "NET-50", 1, 20.00, "2611-00106"),
    ("KNJIŽNICA ŠMARJE", "NET-1000", 1, 89.00, "2611-00107"),
    ("KNJIŽNICA ŠMARJE", "STATIP", 2, 5.00, "2611-00107"),
    ("KULTURNI DOM ŠMARJE", "NET-50", 1, 20.00, "2611-00108"),
    ("KULTURNI DOM ŠMARJE", "USMERJ", 1, 3.50, "2611-00108"),
    ("NOVAK PETER", "NET-50", 1, 20.00, "2611-00109"),  # no such customer
    ("HOČEVAR KLJUČAVNIČAR", "NET-300", 1, 30.00, "2611-00110"),
    ("HOČEVAR KLJUČAVNIČAR", "SERVIS", 1.5, 35.00, "2611-00110"),
    ("MLINAR ŽIGA", "NET-300", 1, 30.00, "2611-00111"),
    ("MLINAR ŽIGA", "TV-OSN", 1, 15.00, "2611-00111"),
    ("MLINAR ŠPELA", "NET-50", 1, 20.00, "2611-00112"),
    ("MLINAR ŠPELA", "REVIJA", 1, 4.90, "2611-00112"),
    ("PD KUM", "NET-50", 1, 20.00, "2611-00113"),
    ("PD KUM", "DOM-SI", 1, 14.90, "2611-00113"),
    ("ROZMAN TJAŠA", "NET-300", 1, 30.00, "2611-00114"),  # payer is no partner
    ("KMETIJA PRI JOŽETU", "NET-300", 1, 30.00, "2611-00115"),
    ("KMETIJA PRI JOŽETU", "TEL-FIX", 1, 8.50, "2611-00115"),
    ("KMETIJA PRI JOŽETU", "PRIKLOP", 1, 49.00, "2611-00115"),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("path")
    parser.add_argument("--brez-cene", action="store_true",
                        help="leave out the CENA field, so the rules price every line")
    args = parser.parse_args()

    fields = ["STRANKA C(40)", "ARTIKEL C(16)", "KOLICINA N(10,3)"]
    if not args.brez_cene:
        fields.append("CENA N(12,4)")
    fields.append("STRAC C(10)")
    table = dbf.Table(args.path, "; ".join(fields), dbf_type="db3", codepage="cp1250")
    table.open(dbf.READ_WRITE)
    for stranka, artikel, kolicina, cena, strac in RECORDS:
        row = (stranka, artikel, kolicina) + (() if args.brez_cene else (cena,)) + (strac,)
        table.append(row)
    table.close()


if __name__ == "__main__":
    main()
