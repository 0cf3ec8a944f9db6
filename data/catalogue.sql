-- The model catalogue and the empty record tables, built into mtype.mdb.
-- data1 is read by column position:
--   0 MTYPE, 1 offered in the family menus, 2 panel layout (1 three outputs,
--   2 one output, 3 legacy two outputs), 3 one row per channel ("MODEL#n"),
--   4-6 maxima of set voltage, set current and over-voltage level,
--   7-9 their increment steps, 10-12 their display patterns.

CREATE TABLE data1 (
  MTYPE      TEXT PRIMARY KEY,
  Offered    INTEGER NOT NULL DEFAULT 0,
  Layout     INTEGER,
  PerChannel INTEGER NOT NULL DEFAULT 0,
  VoltMax    REAL,
  CurrMax    REAL,
  OvpMax     REAL,
  VoltStep   REAL,
  CurrStep   REAL,
  OvpStep    REAL,
  VoltFormat TEXT,
  CurrFormat TEXT,
  OvpFormat  TEXT
);

INSERT INTO data1 VALUES
  -- KMA family
  ('KMA-3303T',   1, 1, 1, 30, 3, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('KMA-3303T#1', 0, 1, 0, 30, 3, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('KMA-3303T#2', 0, 1, 0, 30, 3, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('KMA-3303T#3', 0, 1, 0, 5,  3, 5.5, 0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('KMA-3005',    1, 2, 0, 30, 5, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('KMA-9000',    0, 1, 0, 30, 3, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  -- KMB family
  ('KMB-3203T',   1, 1, 0, 32, 3, 35.2, 0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('KMB-6001',    1, 2, 0, 60, 1, 66,   0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  -- KMC family
  ('KMC-3303T',   1, 1, 0, 30, 3, 33,  0.01,  0.001, 0.01,  '0.00',  '0.000', '0.00'),
  ('KMC-0505',    1, 2, 0, 5,  5, 5.5, 0.001, 0.001, 0.001, '0.000', '0.000', '0.000'),
  -- QLE family
  ('QLE-3303T',   1, 1, 0, 30, 3, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('QLE-3003',    1, 2, 0, 30, 3, 33,  0.01, 0.001, 0.01, '0.00', '0.000', '0.00'),
  ('QLE-5505',    1, 3, 0, 30, 5, 0,   0.01, 0.001, 0,    '0.00', '0.000', '0.00');

-- Working table of the current recording.
CREATE TABLE datatemp (
  SeqNo        INTEGER,
  RecTime      TEXT,
  PVal         TEXT,
  SVal         TEXT,
  Reason       TEXT,
  PVal2        TEXT,
  SVal2        TEXT,
  Reason2      TEXT,
  PVal3        TEXT,
  SVal3        TEXT,
  Reason3      TEXT,
  Comment      TEXT,
  TimeTick     INTEGER,
  DiffLastTime INTEGER
);
CREATE INDEX datatemp_seqno ON datatemp (SeqNo);

-- One row per saved record.
CREATE TABLE datamain (
  RecNo     TEXT,
  StartTime TEXT,
  EndTime   TEXT,
  Comment   TEXT,
  PUnit     TEXT,
  SUnit     TEXT,
  RecStyle  TEXT,
  ShowStyle TEXT
);

-- Rows of saved records.
CREATE TABLE datadetail (
  RecNo        TEXT,
  SeqWindow    INTEGER,
  SeqNo        INTEGER,
  RecTime      TEXT,
  PVal         TEXT,
  SVal         TEXT,
  Reason       TEXT,
  PVal2        TEXT,
  SVal2        TEXT,
  Reason2      TEXT,
  PVal3        TEXT,
  SVal3        TEXT,
  Reason3      TEXT,
  Comment      TEXT,
  TimeTick     INTEGER,
  DiffLastTime INTEGER
);
CREATE INDEX datadetail_recno ON datadetail (RecNo, SeqNo);

-- Written only by the sample-data generators.
CREATE TABLE datacopy (
  RecNo        TEXT,
  SeqWindow    INTEGER,
  SeqNo        INTEGER,
  RecTime      TEXT,
  PVal         TEXT,
  SVal         TEXT,
  Reason       TEXT,
  PVal2        TEXT,
  SVal2        TEXT,
  Reason2      TEXT,
  PVal3        TEXT,
  SVal3        TEXT,
  Reason3      TEXT,
  Comment      TEXT,
  TimeTick     INTEGER,
  DiffLastTime INTEGER
);

-- Kept with the working table's columns; no recorder reads or fills it.
CREATE TABLE DataWindow1 (
  SeqNo        INTEGER,
  RecTime      TEXT,
  PVal         TEXT,
  SVal         TEXT,
  Reason       TEXT,
  PVal2        TEXT,
  SVal2        TEXT,
  Reason2      TEXT,
  PVal3        TEXT,
  SVal3        TEXT,
  Reason3      TEXT,
  Comment      TEXT,
  TimeTick     INTEGER,
  DiffLastTime INTEGER
);
