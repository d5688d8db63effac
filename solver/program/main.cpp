#include "GlowbakeRun.h"

int main(int argc, char** argv) { return runGlowbake(argc, argv); }
