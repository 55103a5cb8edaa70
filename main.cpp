#include "Core.h"

int main()
{
    return Core::run();
}
