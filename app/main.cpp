// The program's entry point: everything else is the start-up sequence.
#include "ui/main/startup.h"

int main(int argc, char** argv) { return RunApplication(argc, argv); }
