-- A small accounting database for trying Zendrato out: customers, payers, articles,
-- tax tariffs, two business events and the parameters row.
INSERT INTO Param (Id, RoundT, PolniRefIzSubj, NasaValuta, NacIzrRabata, OsnZaIzrProdCene,
                   FormulaKosovnica, FormulaCenRazred, FormulaNabaCena)
VALUES (1, 0.01, 'D', 'EUR', '1', '1', '', '', '');

INSERT INTO TarSt (TS, Naziv, Davek) VALUES ('1', 'Splošna stopnja', 22);
INSERT INTO TarSt (TS, Naziv, Davek) VALUES ('2', 'Znižana stopnja', 9.5);

INSERT INTO PoslDog (PoslDog, Naziv, Izdajatelj) VALUES ('IR', 'Izdani računi', 'Omrežje d.o.o.');
INSERT INTO PoslDog (PoslDog, Naziv, Izdajatelj) VALUES ('I', 'Internet', 'Omrežje d.o.o.');

INSERT INTO Subjekt (Naziv, Naziv2, Placnik, Naslov, Posta, CenRazred, Referent, NacProdaje,
                     NacinPlac, Dostava, DniZaPlac, Rabat, DobRabat, NacIzrCene, DobNacIzrCene, Valuta)
VALUES ('Kovačič Janez', 'KOVACIC', '', 'Šolska 3', '1000 Ljubljana', '1', '01', '1', '1', '1', 15, 0, 0, '1', '1', 'EUR');
INSERT INTO Subjekt (Naziv, Naziv2, Placnik, Naslov, Posta, CenRazred, Referent, NacProdaje,
                     NacinPlac, Dostava, DniZaPlac, Rabat, DobRabat, NacIzrCene, DobNacIzrCene, Valuta)
VALUES ('Žagar Mojca', 'ZAGAR', 'Podjetje Čebela d.o.o.', 'Cesta 12', '2000 Maribor', '1', '01', '1', '1', '1', 15, 0, 0, '1', '1', 'EUR');
INSERT INTO Subjekt (Naziv, Naziv2, Placnik, Naslov, Posta, CenRazred, Referent, NacProdaje,
                     NacinPlac, Dostava, DniZaPlac, Rabat, DobRabat, NacIzrCene, DobNacIzrCene, Valuta)
VALUES ('Podjetje Čebela d.o.o.', 'CEBELA', '', 'Industrijska 7', '2000 Maribor', '2', '01', '1', '1', '1', 30, 5, 0, '1', '1', 'EUR');

INSERT INTO Ms (Ident, Naziv, EM, TS, Formula, MPCena, VPCena, VPCena2, ProdCena, NabaCena, Trosarina, Popust, Rabat, Valuta)
VALUES ('NET-10', 'Internet 10 Mbit/s', 'kos', '1', '', 24.40, 20.00, 19.00, 20.00, 12.00, 0, 0, 0, 'EUR');
INSERT INTO Ms (Ident, Naziv, EM, TS, Formula, MPCena, VPCena, VPCena2, ProdCena, NabaCena, Trosarina, Popust, Rabat, Valuta)
VALUES ('NET-100', 'Internet 100 Mbit/s', 'kos', '1', '', 48.80, 40.00, 38.00, 40.00, 25.00, 0, 0, 0, 'EUR');
INSERT INTO Ms (Ident, Naziv, EM, TS, Formula, MPCena, VPCena, VPCena2, ProdCena, NabaCena, Trosarina, Popust, Rabat, Valuta)
VALUES ('DOMENA', 'Zakup domene', 'kos', '2', '', 10.95, 10.00, 10.00, 10.00, 4.00, 0, 0, 0, 'EUR');
