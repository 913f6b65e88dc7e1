#pragma once
// A new GUID as 38-character text: braces, upper case
// ("{6F9619FF-8B86-D011-B42D-00CF4FC964FF}").
#include <QString>

QString CreateGUIDText();
