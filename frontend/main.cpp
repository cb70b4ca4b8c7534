// The corvid program.
#include "frontend/program.h"

int main(int argc, char** argv) { return corvid::RunProgram(argc, argv); }
