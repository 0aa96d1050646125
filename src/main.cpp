#include "window/Program.h"

int main(int argc, char **argv)
{
    return lumaro::run(argc, argv);
}
