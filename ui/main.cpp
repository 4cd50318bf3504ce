#include "ui/app_main.h"

int main(int argc, char** argv) { return tessarin::Main(argc, argv); }
