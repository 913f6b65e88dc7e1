#pragma once
// The folder under which shared address books keep their caches.

#include <QString>

// The option SharedDataFolder (a trailing "/" or "\" is optional; a
// relative folder lies in the program's folder); when that folder does not
// exist, the program's folder, which then becomes the option's value. The result is that folder followed by
// "SharedData", with no trailing separator. Main thread (it may change an option).
QString GetSharedDataFolder();
