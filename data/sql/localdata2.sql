-- "LocalData2.mdb": the list of address books and their types, the out-box,
-- the sent-message log and the record of expanded folders.
--
-- Text columns compare without regard to letter case (NOCASE), as the
-- address books always did. Date-times are local time as text
-- "YYYY-MM-DD HH:MM:SS.zzz"; Booleans are 0 and 1. Auto-number keys are
-- INTEGER PRIMARY KEY AUTOINCREMENT, so a key is never handed out twice.
-- Statements end with ";" at the end of a line; ":GUID" is bound by the
-- program that creates the file (the GUID of the built-in address book).
-- The program creates at start-up every index below that an existing file
-- lacks, so an index added here reaches the files made before it.

CREATE TABLE DatabaseTypes (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    TypeNo INTEGER,
    IconID SMALLINT DEFAULT 0,
    Name VARCHAR(50) COLLATE NOCASE,
    Prune BOOLEAN DEFAULT 0
);

CREATE TABLE Databases (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    IconID SMALLINT DEFAULT 0,
    TypeNo INTEGER,
    Name VARCHAR(50) COLLATE NOCASE,
    Prune BOOLEAN DEFAULT 0,
    OrderNo INTEGER,
    Data TEXT COLLATE NOCASE,
    GUID VARCHAR(38) COLLATE NOCASE
);
CREATE INDEX DatabasesOrderNo ON Databases (OrderNo);

CREATE TABLE OutMessageTexts (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    MessageText TEXT COLLATE NOCASE,
    MessageTime DATETIME,
    SentMessageTextID INTEGER
);
-- Send looks up the messages of the same text still in the out-box.
CREATE INDEX OutMessageTextsMessageText ON OutMessageTexts (MessageText);

-- Deleting a text row deletes the out-box rows of its message.
CREATE TABLE OutMessages (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ContactID INTEGER,
    Name VARCHAR(102) COLLATE NOCASE,
    DatabaseGUID VARCHAR(38) COLLATE NOCASE,
    MessageTextID INTEGER REFERENCES OutMessageTexts (ID) ON DELETE CASCADE,
    ServerTypeNo INTEGER,
    IpAddress VARCHAR(255) COLLATE NOCASE,
    PortNo INTEGER,
    HostName VARCHAR(255) COLLATE NOCASE,
    sentMessagesID INTEGER
);
CREATE INDEX OutMessagesMessageTextID ON OutMessages (MessageTextID);
CREATE INDEX OutMessagesEndpoint ON OutMessages (ServerTypeNo, IpAddress, PortNo, HostName);

-- The out-box rows whose frames a send thread was about to put on the wire,
-- noted before they went: a start after a run that ended abruptly counts
-- those with no logged answer as possibly delivered. Emptied with the
-- out-box; the program creates it at start-up in a file made before it.
CREATE TABLE OutMessagesOnWire (
    ID INTEGER PRIMARY KEY
);

CREATE TABLE SentMessageTexts (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Message TEXT COLLATE NOCASE
);

CREATE TABLE SentMessages (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ContactID INTEGER,
    Name VARCHAR(102) COLLATE NOCASE,
    DatabaseGUID VARCHAR(38) COLLATE NOCASE,
    SentMessageTextID INTEGER,
    MessageTime DATETIME,
    ReceiveConfirmed BOOLEAN DEFAULT 0,
    ReceiveTime DATETIME,
    SendConfirmed BOOLEAN DEFAULT 0,
    SendTime DATETIME,
    ErrorStatus INTEGER,
    IpAddress VARCHAR(15) COLLATE NOCASE,
    PortNo INTEGER,
    HostName VARCHAR(255) COLLATE NOCASE,
    ServerTypeNo INTEGER,
    ServerRecordID INTEGER,
    ClientRecordID INTEGER
);
CREATE INDEX SentMessagesReceiveTime ON SentMessages (ReceiveTime);
CREATE INDEX SentMessagesClientRecordID ON SentMessages (ClientRecordID);
CREATE INDEX SentMessagesSentMessageTextID ON SentMessages (SentMessageTextID);

CREATE TABLE FoldersOpen (
    DatabaseGUID VARCHAR(38) COLLATE NOCASE,
    FolderID INTEGER
);
CREATE INDEX FoldersOpenDatabaseGUID ON FoldersOpen (DatabaseGUID);

INSERT INTO DatabaseTypes (TypeNo, Name) VALUES (1, 'Local');
INSERT INTO DatabaseTypes (TypeNo, Name) VALUES (2, 'Shared');

-- The built-in address book; its folder is written at every start.
INSERT INTO Databases (TypeNo, Name, OrderNo, Data, GUID) VALUES (1, 'Local Database', 1, '', :GUID);
