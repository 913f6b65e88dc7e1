-- "Tovix2Database.mdb": the tables of a local address book.
--
-- Text columns compare without regard to letter case (NOCASE). Booleans are
-- 0 and 1. Auto-number keys are INTEGER PRIMARY KEY AUTOINCREMENT. A
-- membership or folder row may outlive its contact or group, so there are no
-- references between these tables. NoneID (-2147483648) in FolderAssigns
-- means "no contact" or "no group".

CREATE TABLE CarrierTypes (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    IconID SMALLINT DEFAULT 0,
    TypeNo SMALLINT,
    Name VARCHAR(50) COLLATE NOCASE,
    Prune BOOLEAN DEFAULT 0
);
CREATE INDEX CarrierTypesTypeNo ON CarrierTypes (TypeNo);

CREATE TABLE Carriers (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    IconID SMALLINT DEFAULT 0,
    TypeNo SMALLINT,
    ServerID INTEGER,
    Name VARCHAR(50) COLLATE NOCASE,
    Prune BOOLEAN DEFAULT 0,
    Data TEXT COLLATE NOCASE
);
CREATE INDEX CarriersName ON Carriers (Name);

CREATE TABLE Contacts (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CarrierID INTEGER,
    Name VARCHAR(50) COLLATE NOCASE,
    FirstName VARCHAR(50) COLLATE NOCASE,
    LastName VARCHAR(50) COLLATE NOCASE,
    Company VARCHAR(50) COLLATE NOCASE,
    JobTitle VARCHAR(50) COLLATE NOCASE,
    Prune BOOLEAN DEFAULT 0,
    Data TEXT COLLATE NOCASE
);
CREATE INDEX ContactsName ON Contacts (Name);
CREATE INDEX ContactsCarrierID ON Contacts (CarrierID);

CREATE TABLE Templates (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name VARCHAR(50) COLLATE NOCASE,
    ParentID INTEGER DEFAULT 0,
    IconID SMALLINT DEFAULT 0,
    Content TEXT COLLATE NOCASE
);
CREATE INDEX TemplatesName ON Templates (Name);

CREATE TABLE Groups (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name VARCHAR(50) COLLATE NOCASE,
    Description TEXT COLLATE NOCASE
);
CREATE INDEX GroupsName ON Groups (Name);

CREATE TABLE GroupAssigns (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    GroupID INTEGER,
    ContactID INTEGER
);
CREATE INDEX GroupAssignsGroupID ON GroupAssigns (GroupID);
CREATE INDEX GroupAssignsContactID ON GroupAssigns (ContactID);

CREATE TABLE Folders (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name VARCHAR(50) COLLATE NOCASE,
    ParentID INTEGER DEFAULT 0
);
CREATE INDEX FoldersParentID ON Folders (ParentID);

CREATE TABLE FolderAssigns (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FolderID INTEGER DEFAULT 0,
    GroupID INTEGER DEFAULT -2147483648,
    ContactID INTEGER DEFAULT -2147483648
);
CREATE INDEX FolderAssignsFolderID ON FolderAssigns (FolderID);

CREATE TABLE Servers (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name VARCHAR(50) COLLATE NOCASE,
    TypeNo SMALLINT,
    Data TEXT COLLATE NOCASE
);
CREATE INDEX ServersName ON Servers (Name);

INSERT INTO CarrierTypes (TypeNo, Name) VALUES (1, 'TAP Modem');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (2, 'Telecom NZ PACNET');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (3, 'TAP Direct');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (4, 'SMS');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (5, 'SMTP');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (6, 'SNPP');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (7, 'WCTP');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (8, 'MSG');
INSERT INTO CarrierTypes (TypeNo, Name) VALUES (9, 'ACU');
