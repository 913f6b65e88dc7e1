#pragma once
// Registers the data-client classes of the address-book types the program
// knows (type 1: TLocalAccessClient; type 2: TSharedAccessClient). Runs before the first client is made;
// a second call does nothing.

void RegisterStandardDataClientClasses();
