#include <cstdio>

int main() {
    std::puts("Zendrato");
    return 0;
}
