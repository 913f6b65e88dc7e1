#pragma once
// The folder under which shared address books keep their caches.

#include <QString>

// The option SharedDataFolder (a trailing "/" or "\" is optional; a
// relative folder lies in the program's folder); when that folder does not
// exist, the program's folder, which then becomes the option's value. The
// result is that folder followed by "SharedData", with no trailing
// separator. A relative option naming the program's folder + "SharedData"
// (the default, once a first start has made that folder) stands for the
// program's folder: the result is the same on every start, whether or not
// the option was saved. Main thread (it may change an option).
QString GetSharedDataFolder();
