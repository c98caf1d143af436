-- The demo's accounting database: Omrežje Zasavje d.o.o., a small internet provider,
-- with its customers, articles, tax tariffs, price formulas, business events and the
-- documents it has already issued this year. Loads into tevrin-schema.sql (SQLite 3 and
-- PostgreSQL alike).
--
-- Who pays for whom (Subjekt.Placnik; an empty payer pays for itself):
--   Čebela d.o.o.                pays for itself, Žagar Mojca and Šuštar Boštjan
--   Gostilna Pr' Francetu        pays for itself and Okrepčevalnica Pr' Lojzetu
--   Zavod za izobraževanje in kulturo Šmarje (40 characters)
--                                pays for Knjižnica Šmarje and Kulturni dom Šmarje
--   Mlinar Žiga                  pays for himself and Mlinar Špela
--   Rozman Tjaša                 names the payer "Rozman in partnerji d.o.o.", which is
--                                not a partner here
--   everyone else                pays for themselves
-- The transfer file names customers by Naziv2, the billing system's customer name.

INSERT INTO Param (Id, RoundT, PolniRefIzSubj, NasaValuta, NacIzrRabata, OsnZaIzrProdCene,
                   FormulaKosovnica, FormulaCenRazred, FormulaNabaCena)
VALUES
  (1, 0.01, 'T', 'EUR', 'V', '1',
        '#SESTAVNICA#',
        '[#CENRAZRED#=2:#VPCENA2#][#CENRAZRED#=3:#VPCENA1#*0,85]#VPCENA1#',
        '#NNABACENA#');

INSERT INTO TarSt (TS, Naziv, Davek) VALUES
  ('1', 'Splošna stopnja 22 %', 22),
  ('2', 'Nižja stopnja 9,5 %', 9.5),
  ('3', 'Nižja stopnja 5 %', 5),
  ('0', 'Oproščeno', 0);

INSERT INTO PoslDog (PoslDog, Naziv, Izdajatelj) VALUES
  ('IR', 'Izdani računi – naročnine', 'Omrežje Zasavje d.o.o.'),
  ('IS', 'Izdani računi – storitve', 'Omrežje Zasavje d.o.o.'),
  ('DO', 'Dobropisi', 'Omrežje Zasavje d.o.o.');

-- Named price formulas. KOLPOP: a volume discount on minutes; MPBREZ: the retail price
-- without VAT; AKCIJA: half price.
INSERT INTO MsFormula (Sifra, Naziv, Formula) VALUES
  ('KOLPOP', 'Količinski popust', '[#KOLICINA#>300:#VPCENA1#*0,8][#KOLICINA#>100:#VPCENA1#*0,9]#VPCENA1#'),
  ('MPBREZ', 'Maloprodajna cena brez DDV', '#MPCENA#/1,22'),
  ('AKCIJA', 'Akcija – polovična cena', '#VPCENA1#*0,5');

INSERT INTO Ms (Ident, Naziv, EM, TS, Klasif, Formula, Transport, Dajatve, NepStr, VrDavek,
                VPCena2P, VPCenaP, MPCenaP, Garancija, NabaCena, CenaDob, MPCena, VPCena, VPCena2,
                ProdCena, Trosarina, TrosarinaP, Popust, Sestavnica, Rabat, Valuta, ValutaDob)
VALUES
  ('NET-50',   'Internet 50/10 Mbit/s',       'mes', '1', 'INTERNET', '',       0, 0, 0, 0, 0, 0, 0, 0,   9.00,  9.00,  24.40, 20.00, 18.50, 20.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('NET-300',  'Internet 300/50 Mbit/s',      'mes', '1', 'INTERNET', '',       0, 0, 0, 0, 0, 0, 0, 0,  13.00, 13.00,  36.60, 30.00, 27.50, 30.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('NET-1000', 'Optika 1 Gbit/s',             'mes', '1', 'INTERNET', '',       0, 0, 0, 0, 0, 0, 0, 0,  40.00, 40.00, 108.58, 89.00, 82.00, 89.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('STATIP',   'Statični IP naslov',          'mes', '1', 'INTERNET', '',       0, 0, 0, 0, 0, 0, 0, 0,   0.50,  0.50,   6.10,  5.00,  5.00,  5.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('TV-OSN',   'Televizija – osnovni paket',  'mes', '1', 'TV',       '',       0, 0, 0, 0, 0, 0, 0, 0,   8.20,  8.20,  18.30, 15.00, 14.00, 15.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('TEL-FIX',  'Stacionarna telefonija',      'mes', '1', 'TELEFON',  '',       0, 0, 0, 0, 0, 0, 0, 0,   2.10,  2.10,  10.37,  8.50,  8.00,  8.50, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('TEL-MIN',  'Pogovorne minute v tujino',   'min', '1', 'TELEFON',  'KOLPOP', 0, 0, 0, 0, 0, 0, 0, 0,   0.008, 0.008,  0.0244, 0.02, 0.018, 0.02, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('USMERJ',   'Najem usmerjevalnika',        'mes', '1', 'OPREMA',   '',       0, 0, 0, 0, 0, 0, 0, 24,  1.20,  1.20,   4.27,  3.50,  3.50,  3.50, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('GOST',     'Gostovanje spletne strani',   'mes', '1', 'STORITVE', '',       0, 0, 0, 0, 0, 0, 0, 0,   3.00,  3.00,  15.25, 12.50, 11.50, 12.50, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('DOM-SI',   'Zakup domene .si za eno leto', 'kos', '1', 'DOMENE',  'MPBREZ', 0, 0, 0, 0, 0, 0, 0, 0,   6.00,  6.00,  18.18, 14.90, 14.90, 14.90, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('SERVIS',   'Servisna ura na terenu',      'h',   '1', 'STORITVE', '',       0, 0, 0, 0, 0, 0, 0, 0,  18.00, 18.00,  42.70, 35.00, 32.00, 35.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('PRIKLOP',  'Priklop in namestitev',       'kos', '1', 'STORITVE', 'AKCIJA', 0, 0, 0, 0, 0, 0, 0, 0,  20.00, 20.00,  59.78, 49.00, 45.00, 49.00, 0, 0, 0, 0, 0, 'EUR', 'EUR'),
  ('REVIJA',   'Revija Omrežnik, mesečnik',   'kos', '2', 'REVIJE',   '',       0, 0, 0, 0, 0, 0, 0, 0,   2.00,  2.00,   5.37,  4.90,  4.50,  4.90, 0, 0, 0, 0, 0, 'EUR', 'EUR');

-- Partners. Codes: NacProdaje 01 domači trg; NacinPlac 01 nakazilo na TRR, 02 direktna
-- bremenitev; Dostava 01 po pošti, 02 e-račun. NacIzrCene 1: the retail price with the
-- equivalent discount, 2: the net price.
INSERT INTO Subjekt (Naziv, Naziv2, Placnik, Naslov, Posta, CenRazred, Referent, Izjava, NacProdaje, NacinPlac,
                     Dostava, DniZaPlac, LetnaIzjava, DatumIzj, TipPartnerjaO, TipPartnerjaI, Rabat, DobRabat,
                     NacIzrCene, DobNacIzrCene, Valuta)
VALUES
  ('Kovačič Janez', 'KOVAČIČ JANEZ', '', 'Šolska ulica 3', '1420 Trbovlje', '1', '01', '', '01', '02',
        '02', 15, '', NULL, 'FIZICNA', '', 0, 0, '', '', 'EUR'),
  ('Čebela d.o.o.', 'ČEBELA D.O.O.', '', 'Industrijska cesta 7', '1410 Zagorje ob Savi', '2', '02',
        'Davčni zavezanec SI48213906', '01', '01', '02', 30, 'IZJ-2026/14', '2026-01-12 00:00:00', 'PRAVNA', 'PRAVNA', 5, 0,
        '', '', 'EUR'),
  ('Žagar Mojca', 'ŽAGAR MOJCA', 'Čebela d.o.o.', 'Cesta zmage 12', '1410 Zagorje ob Savi', '1', '02', '', '01', '01',
        '02', 30, '', NULL, 'FIZICNA', '', 0, 0, '', '', 'EUR'),
  ('Šuštar Boštjan', 'ŠUŠTAR BOŠTJAN', 'Čebela d.o.o.', 'Podkum 44', '1414 Podkum', '1', '02', '', '01', '01',
        '02', 30, '', NULL, 'FIZICNA', '', 0, 0, '', '', 'EUR'),
  ('Gostilna Pr'' Francetu', 'PR'' FRANCETU', '', 'Trg svobode 2', '1420 Trbovlje', '1', '01',
        'Davčni zavezanec SI70125530', '01', '01', '01', 8, '', NULL, 'PRAVNA', 'PRAVNA', 0, 0, '', '', 'EUR'),
  ('Okrepčevalnica Pr'' Lojzetu', 'PR'' LOJZETU', 'Gostilna Pr'' Francetu', 'Loke 9', '1412 Kisovec', '1', '01', '',
        '01', '01', '01', 8, '', NULL, 'PRAVNA', '', 0, 0, '', '', 'EUR'),
  ('Zavod za izobraževanje in kulturo Šmarje', 'ZAVOD ŠMARJE', '', 'Aškerčev trg 12', '3240 Šmarje pri Jelšah', '2',
        '02', 'Proračunski uporabnik', '01', '01', '02', 30, 'JZ-2026/3', '2026-02-02 00:00:00', 'JAVNI', '', 0, 0, '', '',
        'EUR'),
  ('Knjižnica Šmarje', 'KNJIŽNICA ŠMARJE', 'Zavod za izobraževanje in kulturo Šmarje', 'Aškerčev trg 12',
        '3240 Šmarje pri Jelšah', '2', '02', '', '01', '01', '02', 30, '', NULL, 'JAVNI', '', 0, 0, '', '', 'EUR'),
  ('Kulturni dom Šmarje', 'KULTURNI DOM ŠMARJE', 'Zavod za izobraževanje in kulturo Šmarje', 'Obrtniška ulica 1',
        '3240 Šmarje pri Jelšah', '2', '02', '', '01', '01', '02', 30, '', NULL, 'JAVNI', '', 0, 0, '', '', 'EUR'),
  ('Ključavničarstvo Hočevar s.p.', 'HOČEVAR KLJUČAVNIČAR', '', 'Obrtna cona 5', '1430 Hrastnik', '1', '01',
        'Davčni zavezanec SI90443187', '01', '01', '02', 15, '', NULL, 'PRAVNA', '', 10, 0, '2', '', 'EUR'),
  ('Mlinar Žiga', 'MLINAR ŽIGA', '', 'Ulica 1. junija 31', '1420 Trbovlje', '1', '01', '', '01', '02',
        '02', 15, '', NULL, 'FIZICNA', '', 0, 0, '', '', 'EUR'),
  ('Mlinar Špela', 'MLINAR ŠPELA', 'Mlinar Žiga', 'Kersnikova ulica 8', '1000 Ljubljana', '1', '01', '', '01', '02',
        '02', 15, '', NULL, 'FIZICNA', '', 0, 0, '', '', 'EUR'),
  ('Planinsko društvo Kum', 'PD KUM', '', 'Dobovec 1', '1414 Podkum', '3', '01', '', '01', '01',
        '01', 30, '', NULL, 'DRUSTVO', '', 15, 0, '', '', 'EUR'),
  ('Turistična kmetija Pri Jožetu', 'KMETIJA PRI JOŽETU', '', 'Čeče 17', '1430 Hrastnik', '1', '02', '', '01', '01',
        '01', 15, '', NULL, 'PRAVNA', '', 0, 0, '1', '', 'EUR'),
  ('Rozman Tjaša', 'ROZMAN TJAŠA', 'Rozman in partnerji d.o.o.', 'Log 3', '1420 Trbovlje', '1', '01', '', '01', '02',
        '02', 15, '', NULL, 'FIZICNA', '', 0, 0, '', '', 'EUR');

-- Partner price lists (customer side "P"): a price row ("C") for one article, discount
-- rows by article class, for one partner and for a partner type.
INSERT INTO SubjektCenik (Subjekt, Ident, PreIzd, Formula, Vrsta, Cena) VALUES
  ('Čebela d.o.o.', 'NET-1000', 'P', '', 'C', 79.00),
  ('Čebela d.o.o.', 'STORITVE', 'P', '', 'R', 10),
  ('Planinsko društvo Kum', 'PRIKLOP', 'P', 'AKCIJA', 'C', 0),
  ('DRUSTVO', 'INTERNET', 'P', '', 'R', 5),
  ('JAVNI', 'INTERNET', 'P', '', 'R', 8);

-- Documents already issued: the subscription series 26IR stands at 00041, so the demo's
-- first invoice dated in 2026 is 26IR00042; last year's series and a credit note lie
-- beside it.
INSERT INTO Promet (Kljuc, Datum, PoslDog, Referent, Izdajatelj, Prejemnik, Oseba3, CenRazred, Izjava, NacProdaje,
                    NacinPlac, Dostava, DniZaPlac, DatumDUR, DatumVal, Valuta, Tecaj, PrejemnikZal, IzdajateljZal,
                    PotrjeneCene, Vrednost, VredValuta, ZaPlacilo, Popust, Davek, Knjizen, DatumZap, UserZap,
                    DatumSpre, UserSpre, Rabat, Transport, Dajatve, NepStr, VrDavek)
VALUES
  ('25IR00412', '2025-12-05 00:00:00', 'IR', '01', 'Omrežje Zasavje d.o.o.', 'Kovačič Janez', 'Kovačič Janez', '1',
        '', '01', '02', '02', 15, '2025-12-05 00:00:00', '2025-12-20 00:00:00', 'EUR', 1, 'N', 'Y', 'F',
        45.0000, 0, 54.9000, 0, 9.9000, 'K', '2025-12-05 10:12:00', '01', '2025-12-05 10:12:00', '01', 0, 0, 0, 0, 0),
  ('26IR00040', '2026-11-05 00:00:00', 'IR', '01', 'Omrežje Zasavje d.o.o.', 'Kovačič Janez', 'Kovačič Janez', '1',
        '', '01', '02', '02', 15, '2026-11-05 00:00:00', '2026-11-20 00:00:00', 'EUR', 1, 'N', 'Y', 'F',
        45.0000, 0, 54.9000, 0, 9.9000, 'K', '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01', 0, 0, 0, 0, 0),
  ('26IR00041', '2026-11-05 00:00:00', 'IR', '02', 'Omrežje Zasavje d.o.o.', 'Čebela d.o.o.', 'Čebela d.o.o.', '2',
        'Davčni zavezanec SI48213906', '01', '01', '02', 30, '2026-11-05 00:00:00', '2026-12-05 00:00:00', 'EUR', 1, 'N', 'Y',
        'F', 149.0000, 0, 181.7800, 0, 32.7800, 'K', '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01', 0, 0, 0, 0, 0),
  ('26DO00003', '2026-11-18 00:00:00', 'DO', '01', 'Omrežje Zasavje d.o.o.', 'Mlinar Žiga', 'Mlinar Žiga', '1',
        '', '01', '02', '02', 15, '2026-11-18 00:00:00', '2026-12-03 00:00:00', 'EUR', 1, 'N', 'Y', 'F',
        -15.0000, 0, -18.3000, 0, -3.3000, 'K', '2026-11-18 13:05:00', '01', '2026-11-18 13:05:00', '01', 0, 0, 0, 0, 0);

INSERT INTO PrometPoz (Kljuc, Poz, Ident, Opomba, Naziv, EM, TS, Davek, Kolicina, Rabat, Cena, ProdCena, MPCena, VPCena,
                       VPCena2, KolicinaTemp, DatumZap, UserZap, DatumSpre, UserSpre)
VALUES
  ('25IR00412', 0, 'NET-300', '2511-00101 - Kovačič Janez', 'Internet 300/50 Mbit/s', 'mes', '1', 22, 1, 0, 30.00,
        30.00, 36.60, 30.00, 27.50, 0, '2025-12-05 10:12:00', '01', '2025-12-05 10:12:00', '01'),
  ('25IR00412', 1, 'TV-OSN', '2511-00101 - Kovačič Janez', 'Televizija – osnovni paket', 'mes', '1', 22, 1, 0, 15.00,
        15.00, 18.30, 15.00, 14.00, 0, '2025-12-05 10:12:00', '01', '2025-12-05 10:12:00', '01'),
  ('26IR00040', 0, 'NET-300', '2610-00101 - Kovačič Janez', 'Internet 300/50 Mbit/s', 'mes', '1', 22, 1, 0, 30.00,
        30.00, 36.60, 30.00, 27.50, 0, '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01'),
  ('26IR00040', 1, 'TV-OSN', '2610-00101 - Kovačič Janez', 'Televizija – osnovni paket', 'mes', '1', 22, 1, 0, 15.00,
        15.00, 18.30, 15.00, 14.00, 0, '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01'),
  ('26IR00041', 0, 'NET-1000', '2610-00102 - Čebela d.o.o.', 'Optika 1 Gbit/s', 'mes', '1', 22, 1, 0, 89.00,
        89.00, 108.58, 89.00, 82.00, 0, '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01'),
  ('26IR00041', 1, 'NET-300', '2610-00103 - Žagar Mojca', 'Internet 300/50 Mbit/s', 'mes', '1', 22, 1, 0, 30.00,
        30.00, 36.60, 30.00, 27.50, 0, '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01'),
  ('26IR00041', 2, 'NET-300', '2610-00104 - Šuštar Boštjan', 'Internet 300/50 Mbit/s', 'mes', '1', 22, 1, 0, 30.00,
        30.00, 36.60, 30.00, 27.50, 0, '2026-11-05 09:40:00', '01', '2026-11-05 09:40:00', '01'),
  ('26DO00003', 0, 'TV-OSN', 'Dobropis za prekinitev 3.–7. 11.', 'Televizija – osnovni paket', 'mes', '1', 22, -1, 0,
        15.00, 15.00, 18.30, 15.00, 14.00, 0, '2026-11-18 13:05:00', '01', '2026-11-18 13:05:00', '01');
