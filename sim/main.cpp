// kvxsim: the module and bus-master simulator.
#include <cstdio>

int main() {
  std::puts("kvxsim: no population served yet");
  return 0;
}
