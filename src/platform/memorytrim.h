#pragma once
// Giving freed heap memory back to the system. The C library keeps what a
// large piece of work freed (a fetch of a million rows frees hundreds of
// megabytes in small blocks) for later use; after such work the process
// would go on holding it. Any thread; a no-op where the C library has no
// such call.

void ReleaseFreedMemory();
