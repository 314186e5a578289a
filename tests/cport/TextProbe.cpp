// Prints two of the component's error messages as the environment's language
// and the catalogues beside this program make them.

#include "ComErrors.h"

#include <clocale>
#include <cstdio>

int main() {
    std::setlocale(LC_ALL, "");
    std::puts(cport::EComPort(1, 2).what());
    std::puts(cport::EComPort(14).what());
    return 0;
}
