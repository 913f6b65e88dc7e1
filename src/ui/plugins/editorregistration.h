#pragma once
// Start-up registration of every embedded settings editor into its
// registry (editorregistry.h), in the program's fixed order. A registration
// that fails shows "Error registering <kind> Editor Form(unit: ..." and the
// rest goes on. Call once, on the main thread, before any host window opens.

void RegisterEmbeddedEditors();
