#include "driver/driver.h"

int main(int argc, char** argv) { return velmorak::driver::main_entry(argc, argv); }
