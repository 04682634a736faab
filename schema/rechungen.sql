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
    bestimmungsort VARCHAR(50),
    dokumentart    VARCHAR(4),
    bezug_nr       VARCHAR(50),
    bezug_datum    VARCHAR(50),
    faellig        VARCHAR(50),
    bezahlt_am     VARCHAR(50)
);

CREATE TABLE rechnung2004 (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    rechnungsnummer VARCHAR(50),
    beschreibung    VARCHAR(50),
    anzahl          VARCHAR(50),
    einzelpreis     VARCHAR(50),
    summe           VARCHAR(50),
    steuersatz      VARCHAR(2),
    natura          VARCHAR(4),
    pos             DOUBLE PRECISION,
    lieferschein_nr    VARCHAR(50),
    lieferschein_datum VARCHAR(50)
);

CREATE TABLE rechnungsdaten2003 (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    bezahlung      VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50),
    dokumentart    VARCHAR(4),
    bezug_nr       VARCHAR(50),
    bezug_datum    VARCHAR(50),
    faellig        VARCHAR(50),
    bezahlt_am     VARCHAR(50)
);

CREATE TABLE rechnung2003 (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    rechnungsnummer VARCHAR(50),
    beschreibung    VARCHAR(50),
    anzahl          VARCHAR(50),
    einzelpreis     VARCHAR(50),
    summe           VARCHAR(50),
    steuersatz      VARCHAR(2),
    natura          VARCHAR(4),
    pos             DOUBLE PRECISION,
    lieferschein_nr    VARCHAR(50),
    lieferschein_datum VARCHAR(50)
);

CREATE TABLE rechnungsdaten (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    bezahlung      VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50),
    dokumentart    VARCHAR(4),
    bezug_nr       VARCHAR(50),
    bezug_datum    VARCHAR(50),
    faellig        VARCHAR(50),
    bezahlt_am     VARCHAR(50)
);

CREATE TABLE rechnung (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    rechnungsnummer VARCHAR(50),
    beschreibung    VARCHAR(50),
    anzahl          VARCHAR(50),
    einzelpreis     VARCHAR(50),
    summe           VARCHAR(50),
    steuersatz      VARCHAR(2),
    natura          VARCHAR(4),
    pos             DOUBLE PRECISION,
    lieferschein_nr    VARCHAR(50),
    lieferschein_datum VARCHAR(50)
);

-- Each year's delivery notes (DDT) and their lines, with the plant passport's
-- fields; a year made later gets them with its invoice tables
-- (data/deliverynote.cpp), a file made before them from their migration.
CREATE TABLE lieferscheine2004 (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50),
    transport      VARCHAR(50),
    grund          VARCHAR(50),
    colli          VARCHAR(50),
    rechnung_nr    VARCHAR(50)
);

CREATE TABLE lieferschein2004 (
    id                 INTEGER PRIMARY KEY AUTOINCREMENT,
    lieferscheinnummer VARCHAR(50),
    pos                DOUBLE PRECISION,
    beschreibung       VARCHAR(50),
    anzahl             VARCHAR(50),
    einheit            VARCHAR(50),
    einzelpreis        VARCHAR(50),
    steuersatz         VARCHAR(2),
    botanischer_name   VARCHAR(100),
    rueckverfolgung    VARCHAR(50),
    ursprung           VARCHAR(50)
);

CREATE TABLE lieferscheine2003 (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50),
    transport      VARCHAR(50),
    grund          VARCHAR(50),
    colli          VARCHAR(50),
    rechnung_nr    VARCHAR(50)
);

CREATE TABLE lieferschein2003 (
    id                 INTEGER PRIMARY KEY AUTOINCREMENT,
    lieferscheinnummer VARCHAR(50),
    pos                DOUBLE PRECISION,
    beschreibung       VARCHAR(50),
    anzahl             VARCHAR(50),
    einheit            VARCHAR(50),
    einzelpreis        VARCHAR(50),
    steuersatz         VARCHAR(2),
    botanischer_name   VARCHAR(100),
    rueckverfolgung    VARCHAR(50),
    ursprung           VARCHAR(50)
);

CREATE TABLE lieferscheine (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    nr             VARCHAR(50),
    datum          VARCHAR(50),
    kundennummer   VARCHAR(50),
    bestimmungsort VARCHAR(50),
    transport      VARCHAR(50),
    grund          VARCHAR(50),
    colli          VARCHAR(50),
    rechnung_nr    VARCHAR(50)
);

CREATE TABLE lieferschein (
    id                 INTEGER PRIMARY KEY AUTOINCREMENT,
    lieferscheinnummer VARCHAR(50),
    pos                DOUBLE PRECISION,
    beschreibung       VARCHAR(50),
    anzahl             VARCHAR(50),
    einheit            VARCHAR(50),
    einzelpreis        VARCHAR(50),
    steuersatz         VARCHAR(2),
    botanischer_name   VARCHAR(100),
    rueckverfolgung    VARCHAR(50),
    ursprung           VARCHAR(50)
);

-- The separators the file's amounts are written with, in one row: every PC
-- reads, shows and takes amounts with these, whatever its regional settings.
-- A new file gets the settings of the PC that makes it. This table is the
-- second migration (data/migrations.cpp): a file made before it gets the table
-- and the settings of the PC that opens it first, with the user's consent.
-- Without the row a PC uses its own regional settings.
CREATE TABLE IF NOT EXISTS zahlenformat (
    id                    INTEGER PRIMARY KEY,
    dezimaltrennzeichen   VARCHAR(1),
    tausendertrennzeichen VARCHAR(1)
);

-- Every e-invoice file written, so that an invoice is not sent twice and a
-- transmission number is never handed out again. A file made before it gets
-- it from its migration (data/migrations.cpp), which runs this definition.
CREATE TABLE IF NOT EXISTS efattura_exporte (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    jahr         INTEGER,
    nr           VARCHAR(50),
    datei        VARCHAR(260),
    uebertragung VARCHAR(5),
    zeit         VARCHAR(19),
    sha256       VARCHAR(64)
);

-- Every year's invoices are found by number and by customer, and its lines by
-- their invoice's number. Each index is named after its table and column; the
-- program makes the same ones for a year it adds (data/years.cpp) and adds
-- them to a file made without them.
CREATE INDEX idx_rechnungsdaten2004_nr ON rechnungsdaten2004 (nr);
CREATE INDEX idx_rechnungsdaten2004_kundennummer ON rechnungsdaten2004 (kundennummer);
CREATE INDEX idx_rechnung2004_rechnungsnummer ON rechnung2004 (rechnungsnummer);
CREATE INDEX idx_rechnungsdaten2003_nr ON rechnungsdaten2003 (nr);
CREATE INDEX idx_rechnungsdaten2003_kundennummer ON rechnungsdaten2003 (kundennummer);
CREATE INDEX idx_rechnung2003_rechnungsnummer ON rechnung2003 (rechnungsnummer);
CREATE INDEX idx_rechnungsdaten_nr ON rechnungsdaten (nr);
CREATE INDEX idx_rechnungsdaten_kundennummer ON rechnungsdaten (kundennummer);
CREATE INDEX idx_rechnung_rechnungsnummer ON rechnung (rechnungsnummer);
CREATE INDEX idx_lieferscheine2004_nr ON lieferscheine2004 (nr);
CREATE INDEX idx_lieferscheine2004_kundennummer ON lieferscheine2004 (kundennummer);
CREATE INDEX idx_lieferschein2004_lieferscheinnummer ON lieferschein2004 (lieferscheinnummer);
CREATE INDEX idx_lieferscheine2003_nr ON lieferscheine2003 (nr);
CREATE INDEX idx_lieferscheine2003_kundennummer ON lieferscheine2003 (kundennummer);
CREATE INDEX idx_lieferschein2003_lieferscheinnummer ON lieferschein2003 (lieferscheinnummer);
CREATE INDEX idx_lieferscheine_nr ON lieferscheine (nr);
CREATE INDEX idx_lieferscheine_kundennummer ON lieferscheine (kundennummer);
CREATE INDEX idx_lieferschein_lieferscheinnummer ON lieferschein (lieferscheinnummer);

-- The business's own data and each customer's data for the Italian electronic
-- invoice. Everything from here to the end is the first migration of the
-- tables (data/migrations.cpp): the program also runs it on a file made before
-- these tables were known, hence "IF NOT EXISTS" and the guarded insert. A
-- column added later is here too, for a new file, and in its own migration
-- for a file whose tables were made before it. Text sizes are what the e-invoice lets each field hold; the owner,
-- telephone and payment line, which only the printed invoice shows, get room
-- for a line of the letterhead.

-- One row: the letterhead, the payment line, the e-invoice's seller.
CREATE TABLE IF NOT EXISTS firma (
    id                    INTEGER PRIMARY KEY,
    name                  VARCHAR(80),
    inhaber               VARCHAR(80),
    strasse               VARCHAR(60),
    cap                   VARCHAR(5),
    ort                   VARCHAR(60),
    provinz               VARCHAR(2),
    land                  VARCHAR(2) DEFAULT 'IT',
    ust_land              VARCHAR(2) DEFAULT 'IT',
    ust_nr                VARCHAR(28),
    steuernummer          VARCHAR(16),
    steuerregime          VARCHAR(4) DEFAULT 'RF01',
    telefon               VARCHAR(50),
    email                 VARCHAR(256),
    bank                  VARCHAR(80),
    iban                  VARCHAR(42),
    bic                   VARCHAR(11),
    zahlungszeile         VARCHAR(100),
    naechste_uebertragung VARCHAR(5) DEFAULT '00001',
    logo                  BLOB,
    ruop_nr               VARCHAR(20),
    standort              VARCHAR(20)
);

INSERT INTO firma (id) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM firma);

-- Keyed by kunde.id; the name and owner stay in kunde.
CREATE TABLE IF NOT EXISTS kunde_efattura (
    kunde_id       INTEGER PRIMARY KEY,
    person         INTEGER DEFAULT 0,
    vorname        VARCHAR(60),
    nachname       VARCHAR(60),
    ust_land       VARCHAR(2) DEFAULT 'IT',
    ust_nr         VARCHAR(28),
    steuernummer   VARCHAR(16),
    empfaengercode VARCHAR(7) DEFAULT '0000000',
    pec            VARCHAR(256),
    strasse        VARCHAR(60),
    hausnummer     VARCHAR(8),
    cap            VARCHAR(5),
    ort            VARCHAR(60),
    provinz        VARCHAR(2),
    land           VARCHAR(2) DEFAULT 'IT',
    kundenart      VARCHAR(10)
);
