#pragma once

// Delivery notes with plants for the traceability list, around New Year 2004:
// Anna, an Italian business, gets olives and more; Paul, a private customer,
// and Garden Ltd, outside the EU, get olives of the same lot without a
// passport; Edelweiß, a business in Austria, gets one with it; one note's
// customer is no longer in the list, one note has no date.

#include <QString>

namespace deliveries {

inline const char *const PlantDeliveries = R"(
INSERT INTO zahlenformat (id, dezimaltrennzeichen, tausendertrennzeichen) VALUES (1, ',', '.');
INSERT INTO kunde (id, name, piva) VALUES (1, 'Giardini Anna S.r.l.', '00000000109'), (2, 'Paul Privat', ''),
  (3, 'Edelweiß GmbH', 'ATU12345675'), (4, 'Garden Ltd', 'GB123456789');
INSERT INTO kunde_efattura (kunde_id, kundenart) VALUES (1, 'it_firma'), (2, 'it_privat'), (3, 'eu_firma'),
  (4, 'drittland');
INSERT INTO lieferscheine2003 (id, nr, datum, kundennummer, rechnung_nr) VALUES (1, '40', '30.12.2003', '1', '2003-12');
INSERT INTO lieferschein2003 (lieferscheinnummer, pos, beschreibung, anzahl, einheit, botanischer_name,
  rueckverfolgung, ursprung) VALUES
  ('40', 1, 'Olivenbaum', '2', 'Stk', 'Olea europaea ''Leccino''', 'OL-2003-7', 'IT'),
  ('40', 2, 'Erde', '1', 'Sack', NULL, NULL, NULL);
INSERT INTO lieferscheine2004 (id, nr, datum, kundennummer, rechnung_nr) VALUES
  (1, '9', '02.01.2004', '1', NULL), (2, '10', '02.01.2004', '1', NULL), (3, '2', '02.01.2004', '2', NULL),
  (4, '3', '15.01.2004', '3', NULL), (5, '5', '31.01.2004', '1', '2004-7'), (6, '6', '01.02.2004', '9', NULL),
  (7, '7', '03.02.2004', '4', NULL), (8, '8', NULL, '1', NULL);
INSERT INTO lieferschein2004 (lieferscheinnummer, pos, beschreibung, anzahl, einheit, botanischer_name,
  rueckverfolgung, ursprung) VALUES
  ('9', 3, 'Lavendel', '2,5', 'Kiste', 'Lavandula angustifolia', NULL, 'IT'),
  ('9', 1, 'Olivenbaum', '1', 'Stk', 'Olea europaea', 'OL-2004-118', 'IT'),
  ('9', 2, 'Topf 20 cm', '3', 'Stk', '', NULL, NULL),
  ('10', 1, 'Zitrone', '1', 'Stk', 'Citrus limon', '=1+1', 'ES'),
  ('2', 1, 'Olivenbaum', '1', 'Stk', 'Olea europaea', 'OL-2004-118', 'IT'),
  ('3', 1, 'Olivenbaum', '4', 'Stk', 'Olea europaea', 'OL-2004-118', 'IT'),
  ('5', 1, 'Oleander', '6', 'Stk', 'Nerium oleander', 'NO-5', 'IT'),
  ('6', 1, 'Mandelbaum', '1', 'Stk', 'Prunus dulcis', 'PD-1', 'IT'),
  ('7', 1, 'Olivenbaum', '1', 'Stk', 'Olea europaea', 'OL-2004-118', 'IT'),
  ('8', 1, 'Olivenbaum', '1', 'Stk', 'Olea europaea', 'OL-2004-118', 'IT');
)";

} // namespace deliveries
