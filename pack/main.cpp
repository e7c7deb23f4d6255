// quillframe-pack on Linux: the arguments are UTF-8 already.
#include "run_pack.h"

int main(int argc, char** argv) { return RunPack(std::vector<std::string>(argv + 1, argv + argc)); }
