#include "Startup.h"

int main(int argc, char** argv) { return startViewer(argc, argv); }
