-- The invoicing database: one customer table for all years and, per year,
-- a header table and a line table. 2002 carries no year in its names.
-- Every value the user types is text; amounts are converted when computed.

CREATE TABLE kunde (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    name      VARCHAR(50),
    adresse   TEXT,
    telefon   VARCHAR(50),
    piva      VARCHAR(50),
    ansprache VARCHAR(50),
    kundennr  VARCHAR(50),
    name2     VARCHAR(50)
);

CREATE TABLE rechnungsdaten2004 (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    bezahlung      VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50)
);

CREATE TABLE rechnung2004 (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    rechnungsnummer VARCHAR(50),
    beschreibung    VARCHAR(50),
    anzahl          VARCHAR(50),
    einzelpreis     VARCHAR(50),
    summe           VARCHAR(50)
);

CREATE TABLE rechnungsdaten2003 (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    bezahlung      VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50)
);

CREATE TABLE rechnung2003 (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    rechnungsnummer VARCHAR(50),
    beschreibung    VARCHAR(50),
    anzahl          VARCHAR(50),
    einzelpreis     VARCHAR(50),
    summe           VARCHAR(50)
);

CREATE TABLE rechnungsdaten (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    bezahlung      VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50)
);

CREATE TABLE rechnung (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    rechnungsnummer VARCHAR(50),
    beschreibung    VARCHAR(50),
    anzahl          VARCHAR(50),
    einzelpreis     VARCHAR(50),
    summe           VARCHAR(50)
);
