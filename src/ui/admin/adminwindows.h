#pragma once
// Registers the administration windows with the launcher registry
// (data/adminlaunchers.h): the contacts, carriers and servers lists with
// their editors, the contacts and groups pickers, and the contact and group
// record operations the folder tree uses. Call once at start-up, on the main
// thread, after the embedded editors are registered.
void RegisterAdminWindows();
