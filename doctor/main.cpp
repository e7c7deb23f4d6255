// quillframe-doctor on Linux: the arguments are UTF-8 already.
#include "run_doctor.h"

int main(int argc, char** argv) { return RunDoctor(std::vector<std::string>(argv + 1, argv + argc)); }
