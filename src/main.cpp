#include "window/application.h"

int main(int argc, char **argv)
{
    return lumaro::run(argc, argv);
}
