#pragma once
// Registers the administration windows with the launcher registry
// (data/adminlaunchers.h): the contacts, groups, templates, carrier types,
// carriers and servers lists with their editors, the contacts and groups
// pickers (the groups picker with the group editor), the contact and group
// record operations the folder tree uses, and the address-book and
// address-book-type lists. Call once at start-up, on the main thread, after
// the embedded editors are registered.
void RegisterAdminWindows();
