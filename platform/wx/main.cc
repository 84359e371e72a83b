// The windowed program's main: the framework's entry.
#include "platform/framework/cwinapp.h"

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }
